#include <cstddef>
#include <cstdint>

#include "core/format/yearlog.h"

using namespace tallyra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t total = 0;
    ReadYearLogBytes(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)),
                     [&](const YearLogRecord* r, size_t n) {
                         for (size_t i = 0; i < n; ++i) (void)r[i].hasValidIndex();
                         total += n;
                         return true;
                     });
    if (total != (size + 15) / 16) __builtin_trap();
    return 0;
}
