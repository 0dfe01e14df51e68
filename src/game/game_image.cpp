#include "game/game.h"
#include "platform/platform.h"

namespace bw {

const std::uintptr_t GameBase = platform::MainModuleBase();

}  // namespace bw
