#include <cstddef>
#include <cstdint>

#include "core/roster.h"

using namespace tallyra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const DecodedRecord d = DecodePersonRecord(bytes);
    // Whatever was decoded either stores again in one slot or is refused; never more.
    if (const auto slot = EncodePersonRecord(d.record)) {
        if (slot->size() != kSlotSize) __builtin_trap();
    }
    RosterDisplay display;
    for (int f = 1; f <= 25; ++f) (void)RosterCellText(d.record, f, display);
    return 0;
}
