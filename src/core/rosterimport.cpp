#include "core/rosterimport.h"

#include <QHash>
#include <array>
#include <cmath>
#include <vector>

#include "common/datetime.h"
#include "common/gbk.h"
#include "common/text.h"
#include "core/format/fields.h"
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

// The largest value x 10000 a fixed-point field holds.
constexpr double kFixedPointLimit = 9.2233720368547758e18;

qint64 FixedPointValue(double value) {
    return qint64(std::llround(value * double(kFixedPointScale)));
}

using Texts = std::array<QString, kFieldCount + 1>;  // by field 1-25

enum class Fill { Filled, OutOfRange, NotEncodable };

// What a sheet row becomes as a new roster entry (a freed slot's old card and password are
// not kept); OutOfRange when a number does not fit its field (a card of 1E+20, an age that
// puts the date before the year 100), NotEncodable when code page 936 cannot hold a text
// (the characters in `outside`).
Fill FillRecord(PersonRecord& p, const Texts& texts, const Schema& schema, double today,
                QString* outside) {
    PersonRecord fresh;
    fresh.flags = texts[4] == QStringLiteral("女") ? 0 : 1;
    QString allTexts;
    for (int f = 1; f <= kFieldCount; ++f) {
        const QString& cell = texts[size_t(f)];
        switch (KindOfField(f)) {
            case FieldKind::Number: {
                const double v = NumericValue(cell);
                if (std::fabs(v) * double(kFixedPointScale) >= kFixedPointLimit)
                    return Fill::OutOfRange;
                *NumberOf(fresh, f) = FixedPointValue(v);
                break;
            }
            case FieldKind::Text:
                *TextOf(fresh, f) = cell;
                allTexts += cell;
                break;
            case FieldKind::Date: {  // years since, counted back from today
                const double date = today - NumericValue(cell) * 365.25;
                if (!OleToDate(date)) return Fill::OutOfRange;
                *DateOf(fresh, f) = date;
                break;
            }
            case FieldKind::Choice:
                fresh.choices[size_t(ChoiceSlot(f))] =
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
            fresh.flags = quint8(fresh.flags | (1u << FlagBit(f)));
    // Stored as "?" these would read back as other text.
    if (const QString chars = CharactersOutsideGbk(allTexts); !chars.isEmpty()) {
        if (outside) *outside = chars;
        return Fill::NotEncodable;
    }
    p = std::move(fresh);
    return Fill::Filled;
}

// One sheet row as the import will take it: stored in entry `index`, or refused.
struct Step {
    enum Kind : quint8 { Store, TooLong, OutOfRange, NotEncodable } kind;
    int row;
    int index;             // roster index to store into; the record is in `stored`
    QString outside = {};  // the characters code page 936 cannot hold
};

// After this many refused rows the rest are only counted: a sheet of a million bad rows
// must not bury the window in notices.
constexpr int kRefusalNotices = 20;

}  // namespace

ImportResult ImportRosterSpreadsheet(const Workbook* wb, const ImportTargets& t,
                                     const Progress& progress, const QString& unreadable) {
    ImportResult result;
    const RosterDisplay display = t.roster->display();
    static const Schema kNoDefinitions;
    const Schema& schema = display.schema ? *display.schema : kNoDefinitions;
    auto refuse = [&](const QString& why) {
        result.unreadable = true;
        t.notifier->ShowFailure(QStringLiteral("导入失败，无法读取该电子表格：") + why);
        return result;
    };
    auto cancelled = [&](int imported) {
        result.cancelled = true;
        t.notifier->ShowNotice(QStringLiteral("导入已取消，已导入%1人").arg(imported));
        return result;
    };
    if (!wb) return refuse(unreadable.isEmpty() ? QStringLiteral("不是电子表格") : unreadable);
    auto failed = [&] { return !wb->failure().isEmpty(); };
    auto failedResult = [&] { return wb->cancelled() ? cancelled(0) : refuse(wb->failure()); };
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
    if (failed()) return failedResult();
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
    if (failed()) return failedResult();
    result.headerFound = true;
    for (int f = 1; f <= kFieldCount; ++f)
        if (schema.isEnabled(f) && columns[size_t(f)] == kNotFound)
            t.notifier->ShowNotice(QStringLiteral("未找到“") + TrimBlanks(schema.title(f)) +
                                   QStringLiteral("”项"));

    // Every row is read, checked and given its entry before anything is stored.
    const double today = DateToOle(display.today);
    const Roster& roster = t.roster->roster();
    std::vector<bool> taken(size_t(kRosterSize) + 1);
    for (int i = 1; i <= kRosterSize; ++i) taken[size_t(i)] = roster.at(i).inUse();
    std::vector<Step> steps;
    // A row checked once is stored as it was made then, with the texts the grid shows.
    struct Checked {
        PersonRecord record;
        Texts texts;
    };
    std::vector<Checked> stored;
    enum class End { EmptyRow, RosterFull, GridLimit } end = End::EmptyRow;
    int r = result.headerRow + 1;
    int i = 1;
    int gridRows = t.grid->rows();
    for (;; ++r) {
        if (progress && r % 1024 == 0 && !progress(0, 0)) return cancelled(0);
        Texts texts;
        bool any = false;
        for (int f = 1; f <= kFieldCount; ++f) {
            if (!schema.isEnabled(f)) continue;
            texts[size_t(f)] = CellText(wb, result.headerSheet, r, columns[size_t(f)]);
            any = any || !texts[size_t(f)].isEmpty();
        }
        if (failed()) return failedResult();
        if (!any) break;
        while (i <= kRosterSize && taken[size_t(i)]) ++i;
        if (i > kRosterSize) {
            end = End::RosterFull;
            break;
        }
        PersonRecord p;
        QString outside;
        const Fill fill = FillRecord(p, texts, schema, today, &outside);
        if (fill != Fill::Filled) {
            steps.push_back(
                {fill == Fill::OutOfRange ? Step::OutOfRange : Step::NotEncodable, r, 0, outside});
            continue;
        }
        if (RecordTextBytes(p) > kMaxTextBytes) {
            // A record cannot hold these texts; writing them would spill into the next slot.
            steps.push_back({Step::TooLong, r, 0});
            continue;
        }
        taken[size_t(i)] = p.inUse();
        steps.push_back({Step::Store, r, i});
        stored.push_back({std::move(p), std::move(texts)});
        if (++gridRows > kGridLimit) {
            ++r;
            end = End::GridLimit;
            break;
        }
    }

    // Then stored row after row, the notices in the order of the rows.
    TextGridModel& grid = *t.grid;
    int refusals = 0;
    size_t next = 0;
    const qint64 total = qint64(stored.size());
    // Each card's first holder, kept as rows are stored: asking the whole roster for every
    // row would make an import of 5000 rows look at 25 million records.
    QHash<qint64, int> firstHolder;
    for (int k = kRosterSize; k >= 1; --k)
        if (roster.at(k).inUse() && roster.at(k).cardNumber != 0)
            firstHolder.insert(roster.at(k).cardNumber, k);
    for (const Step& step : steps) {
        if (step.kind != Step::Store) {
            if (++refusals > kRefusalNotices) continue;
            const QString at = QStringLiteral("第%1行").arg(step.row);
            if (step.kind == Step::TooLong)
                t.notifier->ShowNotice(at + QStringLiteral("文字过长，未导入"));
            else if (step.kind == Step::OutOfRange)
                t.notifier->ShowNotice(at + QStringLiteral("数字超出范围，未导入"));
            else
                t.notifier->ShowNotice(at + NotEncodableText(step.outside) +
                                       QStringLiteral("，未导入"));
            continue;
        }
        if (progress && !progress(result.imported, total)) return cancelled(result.imported);
        const Checked& checked = stored[next++];
        const Texts& texts = checked.texts;
        const PersonRecord& p = checked.record;
        if (t.roster->store(step.index, p) != StoreResult::Stored) {
            // The roster follows the file: this person and the rows after it are not taken.
            result.notStored = true;
            t.notifier->ShowFailure(
                QStringLiteral(
                    "导入未完成：第%1行起未能保存，已导入%2人；磁盘已满或文件只读，请通知管理员")
                    .arg(step.row)
                    .arg(result.imported));
            return result;
        }
        // Kept as the import always did, but said: the second holder can never sign in.
        if (p.cardNumber != 0) {
            // The entry was free, so any holder is someone else.
            const auto holder = firstHolder.constFind(p.cardNumber);
            if (holder != firstHolder.cend())
                t.notifier->ShowNotice(QStringLiteral("第%1行卡号与“%2”重复")
                                           .arg(step.row)
                                           .arg(roster.at(*holder).name));
            if (p.inUse() && (holder == firstHolder.cend() || step.index < *holder))
                firstHolder.insert(p.cardNumber, step.index);
        }
        const int g = grid.rows();
        grid.setRows(g + 1);
        QStringList row;
        row << QString::number(step.index);
        for (int f = 1; f <= kFieldCount; ++f) row << texts[size_t(f)];
        grid.setRowTexts(g, row);
        ++result.imported;
    }
    if (refusals > kRefusalNotices)
        t.notifier->ShowNotice(QStringLiteral("另有%1行未导入").arg(refusals - kRefusalNotices));
    if (end == End::RosterFull)
        t.notifier->ShowNotice(QStringLiteral("人员已满5000人，未导入完成.行:%1").arg(r));
    if (end == End::GridLimit && t.criticalMessage)
        t.criticalMessage(QStringLiteral("到达数据记录上限，未导入完成.行:%1").arg(r));
    t.notifier->ShowNotice(QStringLiteral("导入成功"));
    return result;
}

}  // namespace tallyra
