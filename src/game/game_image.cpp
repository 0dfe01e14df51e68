#include "game/game.h"
#include "platform/platform.h"

namespace bw {
namespace {
const platform::ModuleImage gGameImage = platform::MainModuleImage();
}  // namespace

const std::uintptr_t GameBase = gGameImage.base;
const std::uintptr_t GameImageSize = gGameImage.size;

}  // namespace bw
