#include "core/format/fields.h"

#include "core/format/rosterfile.h"

namespace tallyra {

namespace {
using K = FieldKind;
constexpr const char16_t* kNumber = u"数";
constexpr const char16_t* kText = u"字符(长度1~30)";
constexpr const char16_t* kChoice = u"可选字符";
constexpr const char16_t* kPick = u"选择";
constexpr const char16_t* kOwn = u"自定义";

const std::array<FieldSpec, kFieldCount + 1> kFields{{
    {K::None, u"", u"", -1},
    {K::Number, kNumber, u"卡号", -1},
    {K::Text, u"短字符(1~5)", u"姓名", -1},
    {K::Date, u"特殊", u"年龄", 0},
    {K::Sex, kPick, u"性别", 0},
    {K::Date, u"特殊", u"工龄", 1},
    {K::Text, kText, u"住址", 0},
    {K::Text, kText, kOwn, 1},
    {K::Text, kText, kOwn, 2},
    {K::Choice, kChoice, u"职务", 0},
    {K::Choice, kChoice, kOwn, 1},
    {K::Choice, kChoice, kOwn, 2},
    {K::Number, kNumber, u"联系电话", 0},
    {K::Number, kNumber, kOwn, 1},
    {K::Number, kNumber, kOwn, 2},
    {K::Number, kNumber, kOwn, 3},
    {K::Number, kNumber, kOwn, 4},
    {K::Number, kNumber, kOwn, 5},
    {K::Number, kNumber, kOwn, 6},
    {K::TwoValue, kPick, u"启用状态", 1},
    {K::TwoValue, kPick, kOwn, 2},
    {K::TwoValue, kPick, kOwn, 3},
    {K::TwoValue, kPick, kOwn, 4},
    {K::TwoValue, kPick, kOwn, 5},
    {K::TwoValue, kPick, kOwn, 6},
    {K::TwoValue, kPick, kOwn, 7},
}};
}  // namespace

const FieldSpec& Field(int field) {
    return field >= 1 && field <= kFieldCount ? kFields[size_t(field)] : kFields[0];
}

QString* TextOf(PersonRecord& p, int field) {
    if (Field(field).kind != K::Text) return nullptr;
    return Field(field).slot < 0 ? &p.name : &p.texts[size_t(Field(field).slot)];
}
const QString* TextOf(const PersonRecord& p, int field) {
    return TextOf(const_cast<PersonRecord&>(p), field);
}

qint64* NumberOf(PersonRecord& p, int field) {
    if (Field(field).kind != K::Number) return nullptr;
    return Field(field).slot < 0 ? &p.cardNumber : &p.numbers[size_t(Field(field).slot)];
}
const qint64* NumberOf(const PersonRecord& p, int field) {
    return NumberOf(const_cast<PersonRecord&>(p), field);
}

double* DateOf(PersonRecord& p, int field) {
    if (Field(field).kind != K::Date) return nullptr;
    return Field(field).slot == 0 ? &p.firstDate : &p.secondDate;
}
const double* DateOf(const PersonRecord& p, int field) {
    return DateOf(const_cast<PersonRecord&>(p), field);
}

int ChoiceSlot(int field) { return Field(field).kind == K::Choice ? Field(field).slot : -1; }

int FlagBit(int field) {
    const K kind = Field(field).kind;
    return kind == K::Sex || kind == K::TwoValue ? Field(field).slot : -1;
}

}  // namespace tallyra
