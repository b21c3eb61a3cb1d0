// The portal level: three rooms in a row, written by the engine's own saver beside the sample model.

#include <vector>

#include "tools/install/install_step.h"
#include "tools/writers/room_model.h"

namespace {

bool WriteRoomModel(const InstallContext& ctx) {
    std::vector<uint8_t> bytes = RoomModelBytes();
    return !bytes.empty() && WriteFileBytes(ctx.Path(kRoomModelFile), bytes.data(), bytes.size());
}

InstallStep g_step("room model", 61, WriteRoomModel);

}  // namespace
