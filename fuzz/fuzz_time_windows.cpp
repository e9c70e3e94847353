#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "core/timewindows.h"
#include "fuzz_support.h"

using namespace tallyra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const DataFolder folder(dir.path());
    ReplaceFile(folder.timeWindows(), data, size);
    const TimeTable t = LoadTimeWindows(folder);
    for (int k = 0; k < kCellCount; ++k) (void)t.cellCaption(k);
    for (int w = 0; w < kWindowCount; ++w)
        if (t.displayName(w).isEmpty()) __builtin_trap();
    for (int d = 1; d <= 7; ++d) (void)ComputeTodayWindows(t, d);
    return 0;
}
