#include "settings/settings.h"

namespace bw {

constinit SettingsRecord Settings{10000, 5, true, 12288};

}  // namespace bw
