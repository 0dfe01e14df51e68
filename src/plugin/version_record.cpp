#include "plugin/version_record.h"

// Writable initialised data, as the host expects; nothing here changes it.
extern "C" {
bw::PluginVersionRecord TRVXPlugin_Version = {
    /*recordVersion=*/1,
    /*releaseNumber=*/1,
    /*displayName=*/"Velmoria Brackwell",
    /*authorName=*/"Brackwell developers",
    /*hostFlagsA=*/4,
    /*hostFlagsB=*/8,
    /*gameVersions=*/{bw::kSupportedGameVersion},
    /*trailingWords=*/{},
};
}
