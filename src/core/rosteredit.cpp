#include "core/rosteredit.h"

#include <algorithm>
#include <cmath>

#include "common/datetime.h"
#include "common/gbk.h"
#include "common/text.h"
#include "models/textgridmodel.h"

namespace tallyra {

int RosterSortKind(int column) {
    switch (KindOfField(column)) {
        case FieldKind::Number:
        case FieldKind::Date:
            return TextGridModel::NumericAscending;
        default:
            return TextGridModel::TextAscending;
    }
}

std::optional<qint64> ParseFixedPoint(const QString& text) {
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) negative = t[i++] == u'-';
    QString whole, fraction;
    while (i < t.size() && t[i].isDigit() && t[i].unicode() < 128) whole += t[i++];
    if (i < t.size() && t[i] == u'.') {
        ++i;
        while (i < t.size() && t[i].isDigit() && t[i].unicode() < 128) fraction += t[i++];
    }
    if (i != t.size() || (whole.isEmpty() && fraction.isEmpty())) return std::nullopt;
    while (whole.size() > 1 && whole.front() == u'0') whole.remove(0, 1);
    // The currency range ends near 9.2e14; stay safely inside it.
    if (whole.size() > 15) return std::nullopt;
    qint64 value = whole.isEmpty() ? 0 : whole.toLongLong();
    if (value > 900000000000000LL) return std::nullopt;
    value *= kFixedPointScale;
    const QString four = (fraction + QStringLiteral("0000")).left(4);
    value += four.toLongLong();
    // Beyond four decimals the value is rounded, halves to even.
    if (fraction.size() > 4) {
        const QChar next = fraction[4];
        const QString tail = fraction.mid(5);
        const bool rest =
            std::any_of(tail.cbegin(), tail.cend(), [](QChar c) { return c != u'0'; });
        if (next > u'5' || (next == u'5' && (rest || value % 2 == 1))) ++value;
    }
    return negative ? -value : value;
}

QString NotEncodableText(const QString& characters) {
    return QStringLiteral("文字“") + characters + QStringLiteral("”无法保存，请改用其他文字");
}

int CardHolder(const Roster& roster, qint64 cardNumber, int except) {
    for (int i = 1; i <= kRosterSize; ++i)
        if (i != except && roster.at(i).inUse() && roster.at(i).cardNumber == cardNumber) return i;
    return 0;
}

EditOutcome RosterEdit::store(int index, int field, const PersonRecord& changed) {
    if (RecordTextBytes(changed) > kMaxTextBytes) return {EditResult::TooLong, {}, {}};
    switch (roster_.store(index, changed)) {
        case StoreResult::Stored:
            return {EditResult::Stored, roster_.cellText(index, field), {}};
        case StoreResult::TooLong:
            return {EditResult::TooLong, {}, {}};
        case StoreResult::Failed:
            break;
    }
    // The record stays as the file has it, so what is shown is what is stored.
    return {EditResult::NotStored, {}, {}};
}

EditOutcome RosterEdit::commitNumber(int index, int field, const QString& text) {
    if (!Roster::validIndex(index) || KindOfField(field) != FieldKind::Number) return {};
    const std::optional<qint64> value = ParseFixedPoint(text);
    if (!value) return {EditResult::NotANumber, {}, {}};
    PersonRecord person = roster_.person(index);
    // Two people with one card: the board finds the first, the second could never sign in.
    if (field == 1 && *value != 0 && *value != person.cardNumber) {
        if (const int holder = CardHolder(roster_.roster(), *value, index))
            return {EditResult::DuplicateCard, {}, roster_.person(holder).name};
    }
    *NumberOf(person, field) = *value;
    return store(index, field, person);
}

EditOutcome RosterEdit::commitText(int index, int field, const QString& text) {
    if (!Roster::validIndex(index) || KindOfField(field) != FieldKind::Text) return {};
    const QString trimmed = TrimBlanks(text);
    // Stored as "?" it would come back as another name after a restart.
    if (const QString outside = CharactersOutsideGbk(trimmed); !outside.isEmpty())
        return {EditResult::NotEncodable, {}, outside};
    PersonRecord person = roster_.person(index);
    *TextOf(person, field) = trimmed;
    return store(index, field, person);
}

EditOutcome RosterEdit::commitChoice(int index, int field, int listIndex, const QString& chosen) {
    const FieldKind kind = KindOfField(field);
    if (!Roster::validIndex(index) || listIndex < 0 ||
        (kind != FieldKind::Sex && kind != FieldKind::Choice && kind != FieldKind::TwoValue))
        return {};
    PersonRecord person = roster_.person(index);
    if (kind == FieldKind::Choice) {
        person.choices[size_t(ChoiceSlot(field))] = qint16(listIndex);
    } else {
        const int bit = FlagBit(field);
        if (listIndex != 0)
            person.flags = quint8(person.flags | (1u << bit));
        else
            person.flags = quint8(person.flags & ~(1u << bit));
    }
    EditOutcome out = store(index, field, person);
    if (out.result == EditResult::Stored) out.cellText = chosen;  // as listed
    return out;
}

EditOutcome RosterEdit::commitDate(int index, int field, const QDate& date) {
    if (!Roster::validIndex(index) || KindOfField(field) != FieldKind::Date || !date.isValid())
        return {};
    PersonRecord person = roster_.person(index);
    *DateOf(person, field) = DateToOle(date);
    // The cell shows what a restart would show (store() gave the grid's own text).
    return store(index, field, person);
}

QString YearsTextFromDate(int year, int month, int day, const QDate& today) {
    const QDate first(year, std::clamp(month, 1, 12), 1);
    if (!first.isValid()) return {};
    const QDate date = first.addMonths(month - std::clamp(month, 1, 12)).addDays(day - 1);
    const double years = double(date.daysTo(today)) / 365.25;
    return QString::number(years, 'f', 2);
}

YearsToDate DateFromYearsText(const QString& years, const QDate& today) {
    YearsToDate out;
    double y = NumericValue(years);
    if (!(y >= -900 && y <= 900)) {
        out.reset = true;
        y = 0;
    }
    const double serial = std::floor(DateToOle(today) - y * 365.25);
    out.date = OleToDate(serial).value_or(today);
    return out;
}

int FindChoiceElement(const Schema& schema, const QString& text, int k) {
    if (k < 0 || k >= kChoiceFields) return 0;
    for (int e = 0; e < kChoiceSlots; ++e)
        if (TrimBlanks(schema.choiceElements[size_t(k)][size_t(e)]) == text) return e;
    return 0;
}

}  // namespace tallyra
