#include "core/rosterimport.h"

#include <array>
#include <cmath>

#include "common/datetime.h"
#include "common/gbk.h"
#include "common/text.h"
#include "core/fields.h"
#include "core/rosteredit.h"

namespace tallyra {

namespace {

constexpr int kNotFound = 30;
constexpr int kSearchColumns = 29;
constexpr int kGridLimit = 4999;

using Columns = std::array<int, 26>;  // by field 1-25

QString CellText(const Workbook* wb, int sheet, int row, int column) {
    return wb ? wb->cell(sheet, row, column).value_or(QString()) : QString();
}

// Matches one header row; false when the sheet does not exist.
bool MatchRow(const Workbook* wb, int sheet, int row, const Schema& schema, Columns& columns,
              int& count) {
    std::array<bool, 26> matched{};
    count = 0;
    if (!wb) return false;
    for (int column = 1; column <= kSearchColumns; ++column) {
        const std::optional<QString> read = wb->cell(sheet, row, column);
        if (!read) return false;
        const QString text = ReplaceAll(*read, QStringLiteral(" "), QString());
        if (text.isEmpty()) continue;
        for (int f = 1; f <= kFieldCount; ++f) {
            if (!schema.isEnabled(f) || matched[size_t(f)]) continue;
            // The cell text is the pattern: a header "姓*" finds the field 姓名.
            if (!WildcardMatch(TrimBlanks(schema.title(f)), text)) continue;
            columns[size_t(f)] = column;
            matched[size_t(f)] = true;
            ++count;
            break;
        }
    }
    return true;
}

qint64 FixedPointValue(const QString& text) {
    return qint64(std::llround(NumericValue(text) * double(kFixedPointScale)));
}

}  // namespace

ImportResult ImportRosterSpreadsheet(const Workbook* wb, const ImportTargets& t) {
    ImportResult result;
    const Schema& schema = *t.schema;
    Columns columns;
    columns.fill(kNotFound);
    int best = 0;
    [&] {
        for (int sheet = 1; sheet <= 3; ++sheet) {
            for (int row = 1; row <= 5; ++row) {
                int count = 0;
                if (!MatchRow(wb, sheet, row, schema, columns, count)) return;
                if (count > best) {
                    best = count;
                    result.headerSheet = sheet;
                    result.headerRow = row;
                }
            }
        }
    }();
    if (best == 0) {
        t.notifier->ShowNotice(
            QStringLiteral("导入失败，请规范电子表格内名称字段与对应标题相同。"));
        return result;
    }
    // Only what the chosen row holds counts: a title seen in another row is reported as not
    // found instead of being read from the wrong column.
    columns.fill(kNotFound);
    int count = 0;
    MatchRow(wb, result.headerSheet, result.headerRow, schema, columns, count);
    result.headerFound = true;
    for (int f = 1; f <= kFieldCount; ++f)
        if (schema.isEnabled(f) && columns[size_t(f)] == kNotFound)
            t.notifier->ShowNotice(QStringLiteral("未找到“") + TrimBlanks(schema.title(f)) +
                                   QStringLiteral("”项"));

    const double today = DateToOle(t.today);
    int r = result.headerRow + 1;
    int i = 1;
    Roster& roster = *t.roster;
    for (;;) {
        std::array<QString, 26> texts;
        QString all;
        for (int f = 1; f <= kFieldCount; ++f) {
            if (!schema.isEnabled(f)) continue;
            texts[size_t(f)] = CellText(wb, result.headerSheet, r, columns[size_t(f)]);
            all += texts[size_t(f)];
        }
        if (all.isEmpty()) break;
        while (i <= kRosterSize && roster.at(i).inUse()) ++i;
        if (i > kRosterSize) {
            t.notifier->ShowNotice(QStringLiteral("人员已满5000人，未导入完成.行:%1").arg(r));
            break;
        }
        PersonRecord& p = roster.at(i);
        const PersonRecord before = p;
        // A freed slot may still hold a deleted person's card and password.
        p = PersonRecord();
        p.flags = texts[4] == QStringLiteral("女") ? 0 : 1;
        for (int f = 1; f <= kFieldCount; ++f) {
            const QString& cell = texts[size_t(f)];
            switch (KindOfField(f)) {
                case FieldKind::Number:
                    *NumberOf(p, f) = FixedPointValue(cell);
                    break;
                case FieldKind::Text:
                    *TextOf(p, f) = cell;
                    break;
                case FieldKind::Date:  // years since, counted back from today
                    *DateOf(p, f) = today - NumericValue(cell) * 365.25;
                    break;
                case FieldKind::Choice:
                    p.choices[size_t(ChoiceSlot(f))] =
                        qint16(FindChoiceElement(schema, cell, ChoiceSlot(f)));
                    break;
                default:
                    break;
            }
        }
        // An unused field, or an empty cell against an empty label, says nothing.
        for (int f = 19; f <= 25; ++f)
            if (schema.isEnabled(f) && !texts[size_t(f)].isEmpty() &&
                texts[size_t(f)] == TrimBlanks(schema.twoValueLabel(f, true)))
                p.flags = quint8(p.flags | (1u << FlagBit(f)));
        QString texts3 = p.name;
        for (const QString& t : p.texts) texts3 += t;
        if (const QString outside = CharactersOutsideGbk(texts3); !outside.isEmpty()) {
            // Stored as "?" these would read back as other text.
            p = before;
            t.notifier->ShowNotice(QStringLiteral("第%1行").arg(r) + NotEncodableText(outside) +
                                   QStringLiteral("，未导入"));
            ++r;
            continue;
        }
        if (RecordTextBytes(p) > kMaxTextBytes) {
            // A record cannot hold these texts; writing them would spill into the next slot.
            p = before;
            t.notifier->ShowNotice(QStringLiteral("第%1行文字过长，未导入").arg(r));
            ++r;
            continue;
        }
        if (t.file->write(i, p) != WriteResult::Written) {
            // The roster follows the file: this person and the rows after it are not taken.
            p = before;
            result.notStored = true;
            t.notifier->ShowFailure(
                QStringLiteral(
                    "导入未完成：第%1行起未能保存，已导入%2人；磁盘已满或文件只读，请通知管理员")
                    .arg(r)
                    .arg(result.imported));
            return result;
        }
        // Kept as the import always did, but said: the second holder can never sign in.
        if (p.cardNumber != 0)
            if (const int holder = CardHolder(roster, p.cardNumber, i))
                t.notifier->ShowNotice(
                    QStringLiteral("第%1行卡号与“%2”重复").arg(r).arg(roster.at(holder).name));
        TextGridModel& grid = *t.grid;
        const int g = grid.rows();
        grid.setRows(g + 1);
        QStringList row;
        row << QString::number(i);
        for (int f = 1; f <= kFieldCount; ++f) row << texts[size_t(f)];
        grid.setRowTexts(g, row);
        ++result.imported;
        ++r;
        if (grid.rows() > kGridLimit) {
            if (t.criticalMessage)
                t.criticalMessage(QStringLiteral("到达数据记录上限，未导入完成.行:%1").arg(r));
            break;
        }
    }
    t.notifier->ShowNotice(QStringLiteral("导入成功"));
    return result;
}

}  // namespace tallyra
