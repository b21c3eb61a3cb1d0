// The command line comes from whoever starts the game: any text must parse into bounded fields.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "client/driver/game_settings.h"
#include "client/screens/character_state.h"

namespace {

template <size_t N>
void CheckField(const char (&field)[N]) {
    if (strnlen(field, N) >= N)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte chooses the privilege level (the operator mode stops at "single").
    g_login.privilegeLevel = size > 0 && (data[0] & 1) ? 5 : 0;
    const std::string line(reinterpret_cast<const char*>(data) + (size > 0 ? 1 : 0), size > 0 ? size - 1 : 0);
    ParseCommandLine(line.c_str());
    const OnlineServiceParams& s = g_onlineService;
    if (s.present > 1)
        std::abort();
    CheckField(s.mode);
    CheckField(s.token);
    CheckField(s.service);
    CheckField(s.address);
    CheckField(s.port);
    CheckField(s.name);
    CheckField(s.handle);
    CheckField(g_login.commandLineText);
    return 0;
}
