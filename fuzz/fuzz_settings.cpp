#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "core/format/settings.h"
#include "fuzz_support.h"

using namespace tallyra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const DataFolder folder(dir.path());
    ReplaceFile(folder.settings(), data, size);
    const Settings s = LoadSettings(folder);
    if (s.popupFont.size != 0.0f && !IsUsableFontSize(s.popupFont.size)) __builtin_trap();
    if (s.yearsPrecision[0] < -1 || s.yearsPrecision[0] > 3) __builtin_trap();
    return 0;
}
