#include "settings/settings.h"

namespace bw {

constinit SettingsRecord Settings{kBuiltInSettings.Iter, kBuiltInSettings.Sleep, kBuiltInSettings.OverlayBatch,
                                  kBuiltInSettings.TrimThresholdMB};

}  // namespace bw
