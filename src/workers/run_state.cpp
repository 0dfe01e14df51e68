#include "workers/run_state.h"

namespace bw {

constinit RunStateFlags RunState{};

}  // namespace bw
