#include "core/roster.h"

#include <QStringList>
#include <algorithm>

#include "common/datetime.h"
#include "common/gbk.h"
#include "common/text.h"
#include "core/daystatus.h"
#include "core/fields.h"
#include "core/notifier.h"
#include "core/schema.h"
#include "core/textgridmodel.h"

namespace tallyra {

namespace {

// Reads fields one after the other; past the slot everything is zero.
class SlotReader {
public:
    explicit SlotReader(QByteArrayView slot)
        : slot_(slot.first(std::min<qsizetype>(slot.size(), kSlotSize))) {}

    template <typename T>
    T number() {
        char raw[sizeof(T)] = {};
        take(raw, sizeof(T));
        return PositionedFile::FromLittle<T>(raw);
    }

    QString text() {
        const auto length = number<quint16>();
        const qsizetype left = std::max<qsizetype>(slot_.size() - pos_, 0);
        if (length > left) damaged_ = true;
        const qsizetype n = std::min<qsizetype>(length, left);
        QByteArrayView bytes = SliceBytes(slot_, pos_, n);
        // A length past the slot ran into the slot's unused zero tail; that is no text.
        if (damaged_)
            while (!bytes.isEmpty() && bytes.back() == '\0') bytes.chop(1);
        const QString t = DecodeGbk(bytes);
        pos_ += n;
        if (damaged_) pos_ = kSlotSize;  // nothing after a broken length can be trusted
        return t;
    }

    bool damaged() const { return damaged_; }

private:
    void take(char* out, qsizetype n) {
        const qsizetype have = std::clamp<qsizetype>(slot_.size() - pos_, 0, n);
        if (have > 0) std::memcpy(out, slot_.data() + pos_, size_t(have));
        pos_ += n;
    }

    QByteArrayView slot_;
    qsizetype pos_ = 0;
    bool damaged_ = false;
};

class SlotWriter {
public:
    SlotWriter() : bytes_(kSlotSize, '\0') {}

    template <typename T>
    void number(T value) {
        PositionedFile::ToLittle(value, bytes_.data() + pos_);
        pos_ += sizeof(T);
    }

    void text(const QByteArray& encoded) {
        number<quint16>(static_cast<quint16>(encoded.size()));
        std::memcpy(bytes_.data() + pos_, encoded.constData(), size_t(encoded.size()));
        pos_ += encoded.size();
    }

    QByteArray take() { return std::move(bytes_); }

private:
    QByteArray bytes_;
    qsizetype pos_ = 0;
};

}  // namespace

DecodedRecord DecodePersonRecord(QByteArrayView slot) {
    SlotReader in(slot);
    DecodedRecord out;
    PersonRecord& p = out.record;
    p.name = in.text();
    p.cardNumber = in.number<qint64>();
    p.firstDate = in.number<double>();
    p.flags = in.number<quint8>();
    p.secondDate = in.number<double>();
    for (auto& t : p.texts) t = in.text();
    for (auto& n : p.numbers) n = in.number<qint64>();
    for (auto& c : p.choices) c = in.number<qint16>();
    p.personalPassword = in.text();
    out.damaged = in.damaged();
    return out;
}

int RecordTextBytes(const PersonRecord& r) {
    qsizetype n = EncodeGbk(r.name).size() + EncodeGbk(r.personalPassword).size();
    for (const auto& t : r.texts) n += EncodeGbk(t).size();
    return int(std::min<qsizetype>(n, 1 << 30));
}

std::optional<QByteArray> EncodePersonRecord(const PersonRecord& p) {
    const QByteArray name = EncodeGbk(p.name);
    const QByteArray password = EncodeGbk(p.personalPassword);
    std::array<QByteArray, 3> texts;
    qsizetype total = name.size() + password.size();
    for (size_t i = 0; i < texts.size(); ++i) total += (texts[i] = EncodeGbk(p.texts[i])).size();
    if (total > kMaxTextBytes) return std::nullopt;

    SlotWriter out;
    out.text(name);
    out.number<qint64>(p.cardNumber);
    out.number<double>(p.firstDate);
    out.number<quint8>(p.flags);
    out.number<double>(p.secondDate);
    for (const auto& t : texts) out.text(t);
    for (qint64 n : p.numbers) out.number<qint64>(n);
    for (qint16 c : p.choices) out.number<qint16>(c);
    out.text(password);
    return out.take();
}

QString CardText(qint64 fixedPoint) { return QString::number(fixedPoint / kFixedPointScale); }

QString FixedPointText(qint64 fixedPoint) {
    const qint64 whole = fixedPoint / kFixedPointScale;
    qint64 frac = fixedPoint % kFixedPointScale;
    QString text = QString::number(whole);
    if (frac == 0) return text;
    if (fixedPoint < 0 && whole == 0) text.prepend(u'-');
    if (frac < 0) frac = -frac;
    QString digits = ZeroPadded(frac, 4);
    while (digits.endsWith(u'0')) digits.chop(1);
    return text + u'.' + digits;
}

QString RosterCellText(const PersonRecord& p, int field, const RosterDisplay& d) {
    auto years = [&](double date, int precision) {
        if (!OleToDate(date)) return QString();
        // The decimals the settings ask for ("0.0"), the same right after an edit as after
        // a restart; whole years otherwise.
        const float v = YearsSince(date, precision, d.today);
        return precision >= 1 && precision <= 3 ? QString::number(v, 'f', precision) : YearsText(v);
    };
    switch (KindOfField(field)) {
        case FieldKind::Number:
            return field == 1 ? CardText(p.cardNumber) : FixedPointText(*NumberOf(p, field));
        case FieldKind::Text:
            return field == 2 ? p.name : TrimBlanks(*TextOf(p, field));
        case FieldKind::Date:
            return years(*DateOf(p, field), d.yearsPrecision[size_t(Field(field).slot)]);
        case FieldKind::Sex:
            return p.flag(FlagBit(field)) ? QStringLiteral("男") : QStringLiteral("女");
        case FieldKind::Choice:
            return d.schema ? d.schema->choiceElement(field, p.choices[size_t(ChoiceSlot(field))])
                            : QString();
        case FieldKind::TwoValue:
            return d.schema ? d.schema->twoValueLabel(field, p.flag(FlagBit(field))) : QString();
        case FieldKind::None:
            break;
    }
    return {};
}

QStringList RosterRowTexts(int index, const PersonRecord& person, const RosterDisplay& display) {
    QStringList row;
    row.reserve(26);
    row << QString::number(index);
    for (int f = 1; f <= kFieldCount; ++f) row << RosterCellText(person, f, display);
    return row;
}

WriteResult RosterFile::write(int index, const PersonRecord& record) {
    if (!Roster::validIndex(index)) return WriteResult::BadIndex;
    if (!file_.isOpen()) return WriteResult::NotOpen;
    const auto slot = EncodePersonRecord(record);
    if (!slot) return WriteResult::TooLong;
    return file_.write(layout::rw::SlotPos(index), *slot) ? WriteResult::Written
                                                          : WriteResult::IoError;
}

WriteResult WritePersonRecord(RosterFile& file, const Roster& roster, int index) {
    if (!Roster::validIndex(index)) return WriteResult::BadIndex;
    return file.write(index, roster.at(index));
}

RosterLoadResult LoadRoster(const DataFolder& folder, Roster& roster, const RosterDisplay& display,
                            const RosterLoadTargets& targets) {
    RosterLoadResult result;
    // One read of the whole file: 1.25 MB is nothing, 5000 small reads are not. A missing
    // file is an empty roster.
    const QByteArray all =
        ReadDataFile(folder.roster(), qint64(kSlotSize) * kRosterSize, &result.error);

    TextGridModel* board = targets.board;
    TextGridModel* grid = targets.roster;
    if (board) {
        board->beginBulkUpdate();
        board->setRows(4 + kRosterSize);
    }
    if (grid) {
        grid->beginBulkUpdate();
        grid->setRows(2 + kRosterSize);
    }
    int boardRow = 4, rosterRow = 2;
    for (int index = 1; index <= kRosterSize; ++index) {
        if (targets.yield && index % 250 == 0) targets.yield();
        DecodedRecord decoded =
            DecodePersonRecord(SliceBytes(all, qsizetype(kSlotSize) * (index - 1), kSlotSize));
        if (decoded.damaged) result.damagedSlots.push_back(index);
        PersonRecord& person = roster.at(index);
        person = std::move(decoded.record);
        if (!person.inUse()) continue;
        if (board && person.signsIn()) {
            QStringList row{QString::number(index), CardText(person.cardNumber), person.name};
            for (int w = 0; w < 6; ++w)
                row << StatusMark(targets.dayStatus ? targets.dayStatus->read(index, w) : 0);
            board->setRowTexts(boardRow, std::move(row));
            ++boardRow;
        }
        if (grid) grid->setRowTexts(rosterRow, RosterRowTexts(index, person, display));
        ++rosterRow;
    }
    if (board) {
        board->setRows(boardRow);
        board->endBulkUpdate();
    }
    if (grid) {
        grid->setRows(rosterRow);
        grid->endBulkUpdate();
    }
    result.boardRows = boardRow;
    result.rosterRows = rosterRow;
    if (targets.notifier) targets.notifier->ShowNotice(QStringLiteral("数据已经载入完毕"));
    return result;
}

}  // namespace tallyra
