#include "core/format/datacheck.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>

#include "common/datetime.h"
#include "core/format/calendarfile.h"
#include "core/format/daystatus.h"
#include "core/format/leavefile.h"
#include "core/format/positionedfile.h"
#include "core/format/rosterfile.h"
#include "core/format/schema.h"
#include "core/format/settings.h"
#include "core/format/timetable.h"
#include "core/format/yearlog.h"
#include "core/layout/aset.h"
#include "core/layout/dmode.h"

namespace tallyra {

namespace {

bool IsDate(double ole) { return OleToDate(ole).has_value(); }

void CheckRoster(const DataFolder& folder, QStringList& out) {
    PositionedFile file;
    if (!file.open(folder.roster(), PositionedFile::Mode::ReadOnly)) return;
    const qint64 size = file.size();
    if (size > qint64(kSlotSize) * kRosterSize)
        out << QStringLiteral("Rw.dat: %1 bytes, more than 5000 records; the rest is never read")
                   .arg(size);
    else if (size % kSlotSize != 0)
        out << QStringLiteral("Rw.dat: %1 bytes, not whole 256-byte records").arg(size);
    const QByteArray all = file.read(1, qint64(kSlotSize) * kRosterSize);
    for (int i = 1; i <= kRosterSize; ++i) {
        const auto slot = SliceBytes(all, qsizetype(kSlotSize) * (i - 1), kSlotSize);
        const DecodedRecord d = DecodePersonRecord(slot);
        const QString where = QStringLiteral("Rw.dat record %1: ").arg(i);
        if (d.damaged) out << where + QStringLiteral("a text length runs past the 256-byte record");
        if (!d.record.inUse()) continue;
        if (!IsDate(d.record.firstDate)) out << where + QStringLiteral("field 3 holds no date");
        if (!IsDate(d.record.secondDate)) out << where + QStringLiteral("field 5 holds no date");
        for (int k = 0; k < 3; ++k) {
            const int c = d.record.choices[size_t(k)];
            if (c < 0 || c > 63)
                out << where +
                           QStringLiteral("choice of field %1 is %2, not 0-63").arg(9 + k).arg(c);
        }
    }
}

void CheckSchema(const DataFolder& folder, QStringList& out) {
    // An empty file is taken as missing: a start writes the defaults into it.
    if (QFileInfo(folder.schema()).size() == 0) return;
    PositionedFile file;
    if (!file.open(folder.schema(), PositionedFile::Mode::ReadOnly)) return;
    for (int f = 9; f <= 11; ++f) {
        const qint16 count = file.readNumber<qint16>(layout::dmode::CountPos(f));
        if (count < 2 || count > 64)
            out << QStringLiteral("Dmode.dat: element count of field %1 is %2, not 2-64")
                       .arg(f)
                       .arg(count);
    }
    for (int f = 1; f <= kFieldCount; ++f) {
        const quint8 e = file.readNumber<quint8>(layout::dmode::EnabledPos(f));
        if (e > 1)
            out << QStringLiteral("Dmode.dat: enabled flag of field %1 is %2, not 0 or 1")
                       .arg(f)
                       .arg(e);
    }
}

void CheckSettings(const DataFolder& folder, QStringList& out) {
    if (!QFileInfo::exists(folder.settings())) return;
    PositionedFile file;
    if (!file.open(folder.settings(), PositionedFile::Mode::ReadOnly)) return;
    for (int k = 0; k < Settings::kOptionCount; ++k) {
        const quint8 v = file.readNumber<quint8>(layout::aset::OptionPos(k));
        if (v > 1) out << QStringLiteral("aset.dat: option %1 is %2, not 0 or 1").arg(k).arg(v);
    }
    for (int k = 0; k < 2; ++k) {
        const quint8 v = file.readNumber<quint8>(layout::aset::kPrecisionPos + k);
        if (v > 3) out << QStringLiteral("aset.dat: decimals box %1 is %2, not 0-3").arg(k).arg(v);
    }
    const auto size = [&](qint64 pos, const char* what) {
        const float s = file.readNumber<float>(pos);
        if (!IsUsableFontSize(s) && s != 0.0f)
            out << QStringLiteral("aset.dat: %1 font size is %2")
                       .arg(QLatin1String(what))
                       .arg(double(s));
    };
    size(layout::aset::kPopupSizePos, "popup");
    size(layout::aset::kGridSizePos, "grid");
    const qint16 n = file.readNumber<qint16>(layout::aset::kPasswordLengthPos);
    if (n < 0 || n > 24) out << QStringLiteral("aset.dat: password length is %1, not 0-24").arg(n);
    for (int c = 0; c < 26; ++c) {
        const qint16 w = file.readNumber<qint16>(layout::aset::kRosterWidthsPos + 2 * c);
        if (w < 0) out << QStringLiteral("aset.dat: roster column %1 width is %2").arg(c).arg(w);
    }
    for (int c = 0; c < 9; ++c) {
        const qint16 w = file.readNumber<qint16>(layout::aset::kBoardWidthsPos + 2 * c);
        if (w < 0) out << QStringLiteral("aset.dat: sign-in column %1 width is %2").arg(c).arg(w);
    }
}

void CheckTimeWindows(const DataFolder& folder, QStringList& out) {
    if (!QFileInfo::exists(folder.timeWindows())) return;
    const TimeTable t = LoadTimeWindows(folder);
    for (int k = 0; k < kCellCount; ++k) {
        for (const auto& [what, m] :
             {std::pair{"start", t.starts[size_t(k)]}, std::pair{"end", t.ends[size_t(k)]}}) {
            if (m < 0 || m > 1439)
                out << QStringLiteral("time.dat: %1 of cell %2 is minute %3, not 0-1439")
                           .arg(QLatin1String(what))
                           .arg(k)
                           .arg(m);
        }
    }
}

void CheckDayStatus(const DataFolder& folder, QStringList& out) {
    PositionedFile file;
    if (!file.open(folder.dayStatus(), PositionedFile::Mode::ReadOnly)) return;
    for (int i = 1; i <= kRosterSize; ++i) {
        for (int w = 0; w < 6; ++w) {
            const qint16 s = file.readNumber<qint16>(DayStatusFile::Position(i, w));
            if (s < kStatusOnTime || s > kStatusAbsent)
                out << QStringLiteral("shuju.dat: status of person %1, window %2 is %3")
                           .arg(i)
                           .arg(w)
                           .arg(s);
        }
    }
}

void CheckYearLogs(const DataFolder& folder, QStringList& out) {
    const QDir dir(folder.yearLogFolder());
    for (const QFileInfo& info :
         dir.entryInfoList({QStringLiteral("*.dat")}, QDir::Files, QDir::Name)) {
        const QString name = QStringLiteral("adnt/sols/") + info.fileName();
        if (!info.isFile()) continue;  // reported as unreadable above
        if (info.size() % kLogSlotSize != 0)
            out << name + QStringLiteral(": %1 bytes, not whole 16-byte records").arg(info.size());
        qint64 n = 0;
        int reported = 0;
        ReadYearLog(info.filePath(), [&](const YearLogRecord* r, size_t count) {
            for (size_t i = 0; i < count; ++i, ++n) {
                QStringList what;
                if (!r[i].hasValidIndex())
                    what << QStringLiteral("roster index %1").arg(r[i].index);
                if (!IsDate(r[i].date)) what << QStringLiteral("no date");
                if (r[i].minute < 0 || r[i].minute > 1439)
                    what << QStringLiteral("minute %1").arg(r[i].minute);
                if (r[i].minutesLate < 0 || r[i].minutesLate > kStatusAbsent)
                    what << QStringLiteral("minutes late %1").arg(r[i].minutesLate);
                if (!what.isEmpty() && reported++ < 100)
                    out << name + QStringLiteral(" record %1: ").arg(n + 1) +
                               what.join(QStringLiteral(", "));
            }
            return true;
        });
        if (reported > 100)
            out << name + QStringLiteral(": %1 more records out of range").arg(reported - 100);
    }
}

// The files of our own: slots the program could not have written, and a cut last slot (a
// write a power cut stopped, which the next change writes over).
void CheckCalendarAndLeave(const DataFolder& folder, QStringList& out) {
    int damaged = 0;
    FileError error;
    for (const CalendarChange& c : ReadCalendarChanges(folder, &error, &damaged))
        if (!IsDate(c.day))
            out << QStringLiteral("calendar.dat: a change of no day (%1)").arg(c.day);
    if (damaged > 0) out << QStringLiteral("calendar.dat: %1 changes out of range").arg(damaged);
    damaged = 0;
    const std::vector<LeaveRecord> leave = ReadLeaveRecords(folder, &error, &damaged);
    if (damaged > 0) out << QStringLiteral("leave.dat: %1 records out of range").arg(damaged);
    int reported = 0;
    for (const LeaveRecord& r : leave) {
        QStringList what;
        if (r.type == LeaveRecord::Entry && (r.index < 1 || r.index > kRosterSize))
            what << QStringLiteral("roster index %1").arg(r.index);
        if (!IsDate(r.fromDay) || !IsDate(r.toDay) || r.fromDay > r.toDay)
            what << QStringLiteral("days %1..%2").arg(r.fromDay).arg(r.toDay);
        if (!what.isEmpty() && reported++ < 100)
            out << QStringLiteral("leave.dat record %1: ").arg(r.id) +
                       what.join(QStringLiteral(", "));
    }
    for (const auto& [path, slot] :
         {std::pair{folder.calendar(), 32}, std::pair{folder.leave(), 128}}) {
        const qint64 size = QFileInfo(path).size();
        if (size % slot != 0)
            out << QDir(folder.root()).relativeFilePath(path) +
                       QStringLiteral(
                           ": a cut last record (%1 bytes), written over by the next change")
                           .arg(size % slot);
    }
}

}  // namespace

// A file that is there but cannot be read would stop a start; say so first.
void CheckReadable(const DataFolder& folder, QStringList& out) {
    QStringList paths{folder.roster(),      folder.settings(),     folder.schema(),
                      folder.choiceList(9), folder.choiceList(10), folder.choiceList(11),
                      folder.timeWindows(), folder.dayStatus(),    folder.lastRun(),
                      folder.calendar(),    folder.leave(),        folder.leaveKinds()};
    const QDir logs(folder.yearLogFolder());
    for (const QString& name :
         logs.entryList({QStringLiteral("*.dat")}, QDir::AllEntries | QDir::System))
        paths << logs.filePath(name);
    for (const QString& path : paths) {
        PositionedFile file;
        if (OpenForReading(file, path) == ReadOpen::Failed)
            out << QDir(folder.root()).relativeFilePath(path) +
                       QStringLiteral(": cannot be read (") + file.lastError().reason() + u')';
    }
}

QStringList CheckDataFolder(const DataFolder& folder) {
    QStringList out;
    if (!QFileInfo(folder.root()).isDir()) {
        out << QStringLiteral("数据文件夹不存在：") + folder.root();
        return out;
    }
    CheckReadable(folder, out);
    CheckRoster(folder, out);
    CheckSchema(folder, out);
    CheckSettings(folder, out);
    CheckTimeWindows(folder, out);
    CheckDayStatus(folder, out);
    CheckYearLogs(folder, out);
    CheckCalendarAndLeave(folder, out);
    return out;
}

}  // namespace tallyra
