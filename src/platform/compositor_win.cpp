#include <windows.h>
// After windows.h, which the other Windows headers need first.
#include <dwmapi.h>

#include "platform/compositor.h"

namespace tallyra {

bool HasCompositor() {
    // Always on from Windows 8; Wine says no, and its layered windows then show no alpha.
    BOOL on = FALSE;
    return SUCCEEDED(DwmIsCompositionEnabled(&on)) && on;
}

}  // namespace tallyra
