#include <unistd.h>

#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "core/positionedfile.h"
#include "core/timewindows.h"

using namespace tallyra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const DataFolder folder(dir.path());
    {
        PositionedFile f;
        f.open(folder.timeWindows());
        ::ftruncate(f.handle(), 0);
        f.write(1, QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    }
    const TimeTable t = LoadTimeWindows(folder);
    for (int k = 0; k < kCellCount; ++k) (void)t.cellCaption(k);
    for (int w = 0; w < kWindowCount; ++w)
        if (t.displayName(w).isEmpty()) __builtin_trap();
    for (int d = 1; d <= 7; ++d) (void)ComputeTodayWindows(t, d);
    return 0;
}
