#include "core/roster.h"

#include <QStringList>

#include "common/datetime.h"
#include "common/text.h"
#include "core/format/daystatus.h"
#include "core/format/fields.h"
#include "core/format/schema.h"
#include "core/notifier.h"
#include "models/textgridmodel.h"

namespace tallyra {

QString RosterCellText(const PersonRecord& p, int field, const RosterDisplay& d) {
    auto years = [&](double date, int precision) {
        // 0 is a date never set (a person added with 增加), not 1899-12-30.
        if (date == 0 || !OleToDate(date)) return QString();
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
