#pragma once
#include <cstdint>

namespace velor {

struct ImportVars {
    int16_t DownloadState = 0;   ///< -1 while the automatic download runs, 1 after an import
    bool ImportRunning = false;
};

} // namespace velor
