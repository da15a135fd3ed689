#include "framework/gui/platform.h"

#include "framework/sysutils.h"

namespace fw {

namespace {
Platform* current = nullptr;
}

Platform& CurrentPlatform() {
    if (!current) throw Exception("no platform installed");
    return *current;
}

Platform* InstallPlatform(Platform* platform) {
    Platform* before = current;
    current = platform;
    return before;
}

}  // namespace fw
