#pragma once

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "core/format/datafolder.h"
#include "core/format/positionedfile.h"
#include "core/layout/rw.h"

namespace tallyra {

constexpr int kRosterSize = layout::rw::kRecords;

constexpr int kSlotSize = layout::rw::kSlotBytes;
constexpr int kMaxTextBytes = layout::rw::kMaxTextBytes;  // 159

struct PersonRecord {
    QString name;
    qint64 cardNumber = 0;  // value x 10000
    double firstDate = 0.0;
    quint8 flags = 0;
    double secondDate = 0.0;
    std::array<QString, 3> texts;
    std::array<qint64, 7> numbers{};
    std::array<qint16, 3> choices{};
    QString personalPassword;

    // A name of blanks counts as no name: such a slot is unused whatever else it holds.
    bool inUse() const {
        return std::any_of(name.cbegin(), name.cend(), [](QChar c) { return c != u' '; });
    }
    bool flag(int bit) const { return (flags >> bit) & 1; }
    // Bit 1 (field 19) set keeps a person off the sign-in board.
    bool signsIn() const { return !flag(1); }
    bool operator==(const PersonRecord&) const = default;
};

struct DecodedRecord {
    PersonRecord record;
    // A text length ran past the slot: the text was cut at the slot's end and the fields
    // after it read as zero.
    bool damaged = false;
};

DecodedRecord DecodePersonRecord(QByteArrayView slot);

// The whole 256-byte slot, zero after the record, or nullopt when the five texts need more
// than 159 bytes of code page 936 (such a record cannot be stored without corrupting it).
std::optional<QByteArray> EncodePersonRecord(const PersonRecord& record);
int RecordTextBytes(const PersonRecord& record);

// The card's text: the whole part of the number, no leading zeros.
QString CardText(qint64 fixedPoint);
// A fixed-point value as decimal text, trailing zeros of the fraction dropped (12.5, 138).
QString FixedPointText(qint64 fixedPoint);

class Roster {
public:
    Roster() : people_(kRosterSize) {}
    // Roster index 1-5000.
    PersonRecord& at(int index) { return people_[size_t(index - 1)]; }
    const PersonRecord& at(int index) const { return people_[size_t(index - 1)]; }
    static bool validIndex(int index) { return index >= 1 && index <= kRosterSize; }

private:
    std::vector<PersonRecord> people_;
};

enum class WriteResult { Written, TooLong, NotOpen, BadIndex, IoError };

// The write handle on Rw.dat, open while a panel that edits people is shown.
class RosterFile {
public:
    // Rw.dat holds the personal passwords: a new one is readable by its owner only.
    bool open(const DataFolder& folder) {
        return file_.open(folder.roster(), PositionedFile::Mode::ReadWrite,
                          PositionedFile::Access::Private);
    }
    void close() { file_.close(); }
    bool isOpen() const { return file_.isOpen(); }
    // Writes the whole slot in one call, so a crash leaves the old or the new record.
    [[nodiscard]] WriteResult write(int index, const PersonRecord& record);
    FileError lastError() const { return file_.lastError(); }

private:
    PositionedFile file_;
};

}  // namespace tallyra
