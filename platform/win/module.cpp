// Libraries by name. Our platform parts offer their entry points here, so code that looks
// functions up at run time (the display driver enumeration, the socket library) finds them.

#include <cctype>
#include <map>
#include <string>

#include "platform/ddraw/control.h"
#include "platform/sock/sock_internal.h"
#include "platform/win/platform.h"

namespace platform {
namespace {

struct Module {
    ModuleResolver resolve;
    bool loaded = false;
    int loads = 0;
    bool offered = true;  // withdrawn libraries keep their node so held handles stay valid
};

// Names are compared without regard to case and to a ".dll" ending, as LoadLibrary does.
std::string Key(const std::string& name) {
    std::string key;
    for (char c : name)
        key += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (key.size() > 4 && key.compare(key.size() - 4, 4, ".DLL") == 0)
        key.resize(key.size() - 4);
    return key;
}

std::map<std::string, Module>& Modules() {
    static std::map<std::string, Module> modules = [] {
        std::map<std::string, Module> m;
        // The display driver library is linked by the game, so it is there from the start.
        m[Key("DDRAW.DLL")] = Module{&dd::DDrawFunction, true, 0, true};
        // The socket library is loaded by name when the game first opens a socket.
        m[Key(kSocketLibraryName)] = Module{&SocketFunction, false, 0, true};
        return m;
    }();
    return modules;
}

Module* Find(const char* name) {
    if (!name)
        return nullptr;
    auto it = Modules().find(Key(name));
    return it == Modules().end() || !it->second.offered ? nullptr : &it->second;
}

}  // namespace

void RegisterModule(const std::string& name, ModuleResolver resolve, bool loaded) {
    Module& m = Modules()[Key(name)];
    m.resolve = std::move(resolve);
    m.loaded = loaded;
    m.offered = true;
}

void UnregisterModule(const std::string& name) {
    auto it = Modules().find(Key(name));
    if (it != Modules().end())
        it->second.offered = false;
}

void SetModuleLoaded(const std::string& name, bool loaded) {
    if (Module* m = Find(name.c_str()))
        m->loaded = loaded;
}

}  // namespace platform

HMODULE GetModuleHandleA(const char* name) {
    platform::Module* m = platform::Find(name);
    return m && (m->loaded || m->loads > 0) ? m : nullptr;
}

HMODULE LoadLibraryA(const char* name) {
    platform::Module* m = platform::Find(name);
    if (m)
        ++m->loads;
    return m;
}

BOOL FreeLibrary(HMODULE module) {
    auto* m = static_cast<platform::Module*>(module);
    if (!m || m->loads <= 0)
        return FALSE;
    --m->loads;
    return TRUE;
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
    auto* m = static_cast<platform::Module*>(module);
    if (!m || !name || !m->resolve)
        return nullptr;
    return m->resolve(name);
}
