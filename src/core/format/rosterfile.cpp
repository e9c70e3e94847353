#include "core/format/rosterfile.h"

#include <algorithm>

#include "common/gbk.h"
#include "common/text.h"
#include "core/format/fields.h"

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

WriteResult RosterFile::write(int index, const PersonRecord& record) {
    if (!Roster::validIndex(index)) return WriteResult::BadIndex;
    if (!file_.isOpen()) return WriteResult::NotOpen;
    const auto slot = EncodePersonRecord(record);
    if (!slot) return WriteResult::TooLong;
    return file_.write(layout::rw::SlotPos(index), *slot) ? WriteResult::Written
                                                          : WriteResult::IoError;
}

}  // namespace tallyra
