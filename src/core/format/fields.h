#pragma once

#include <QString>
#include <array>

namespace tallyra {

struct PersonRecord;

// What a roster field holds and how it is edited; fixed by the field number.
enum class FieldKind { None, Number, Text, Date, Sex, Choice, TwoValue };

// The 25 roster fields, numbered 1-25 as the roster grid's columns: every switch on a field
// number reads this table.
struct FieldSpec {
    FieldKind kind;
    const char16_t* typeLabel;     // the definitions panel's 数据类型
    const char16_t* defaultTitle;  // a new station's title
    // Where the value lives in a PersonRecord: the index into Texts, Choices or Numbers, the
    // bit of Flags, or 0/1 for FirstDate/SecondDate; -1 for the card and the name.
    int slot;
};
constexpr int kFieldCount = 25;
const FieldSpec& Field(int field);  // field 1-25; anything else is a FieldKind::None entry
inline FieldKind KindOfField(int field) { return Field(field).kind; }

// The value of field f in a record, for the kinds that hold one; null for other kinds.
QString* TextOf(PersonRecord& p, int field);  // the name and fields 6-8
const QString* TextOf(const PersonRecord& p, int field);
qint64* NumberOf(PersonRecord& p, int field);  // the card and fields 12-18
const qint64* NumberOf(const PersonRecord& p, int field);
double* DateOf(PersonRecord& p, int field);  // fields 3 and 5
const double* DateOf(const PersonRecord& p, int field);
// Choice fields 9-11: the index 0-2 into Choices and the element lists; -1 otherwise.
int ChoiceSlot(int field);
// The sex field 4 and the two-valued fields 19-25: the bit of Flags; -1 otherwise.
int FlagBit(int field);

// Fixed-point numbers (the card and fields 12-18) are held as value x 10000.
constexpr qint64 kFixedPointScale = 10000;

}  // namespace tallyra
