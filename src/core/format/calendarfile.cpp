#include "core/format/calendarfile.h"

#include "core/format/slotlog.h"
#include "core/layout/calendar.h"

namespace tallyra {

using namespace layout::calendar;

namespace {
constexpr qint64 kMostBytes = qint64(kSlotBytes) << 20;  // a million changes
}

QByteArray EncodeCalendarChange(const CalendarChange& c) {
    QByteArray slot(kSlotBytes, '\0');
    PositionedFile::ToLittle(c.day, slot.data() + kDayOffset);
    slot[kKindOffset] = char(c.kind);
    slot[kWeekdayOffset] = char(c.weekday);
    slot.replace(kNameOffset, kNameBytes, EncodeFixedText(c.name, kNameBytes));
    return slot;
}

std::vector<CalendarChange> ReadCalendarChanges(const DataFolder& folder, FileError* error,
                                                int* damaged) {
    const QByteArray all = ReadSlots(folder.calendar(), kSlotBytes, kMostBytes, error);
    std::vector<CalendarChange> out;
    out.reserve(size_t(all.size() / kSlotBytes));
    int bad = 0;
    for (qsizetype at = 0; at < all.size(); at += kSlotBytes) {
        const char* slot = all.constData() + at;
        CalendarChange c;
        c.day = PositionedFile::FromLittle<qint32>(slot + kDayOffset);
        const quint8 kind = quint8(slot[kKindOffset]);
        c.weekday = quint8(slot[kWeekdayOffset]);
        if (kind > CalendarChange::MakeUp ||
            (kind == CalendarChange::MakeUp && (c.weekday < 1 || c.weekday > 7))) {
            ++bad;
            continue;
        }
        c.kind = CalendarChange::Kind(kind);
        if (c.kind == CalendarChange::Closed)
            c.name = DecodeFixedText(QByteArrayView(slot + kNameOffset, kNameBytes));
        out.push_back(std::move(c));
    }
    if (damaged) *damaged = bad;
    return out;
}

bool AppendCalendarChanges(const DataFolder& folder, const std::vector<CalendarChange>& changes) {
    QByteArray slots;
    slots.reserve(qsizetype(changes.size()) * kSlotBytes);
    for (const CalendarChange& c : changes) slots += EncodeCalendarChange(c);
    return AppendSlots(folder.calendar(), kSlotBytes, slots, PositionedFile::Access::Shared) > 0;
}

}  // namespace tallyra
