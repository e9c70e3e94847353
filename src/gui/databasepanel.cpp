#include "gui/databasepanel.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/notifier.h"
#include "core/rosterimport.h"
#include "core/rosterrows.h"
#include "core/rosterstore.h"
#include "gui/dialogs.h"
#include "gui/gridview.h"
#include "gui/progressgate.h"
#include "gui/rostereditor.h"
#include "sheets/spreadsheet.h"

namespace tallyra {

DatabasePanel::DatabasePanel(RosterStore& roster, TextGridModel& grid, const SchemaStore& schema,
                             const DayCaptions& day, Notifier& notifier, Dialogs& dialogs,
                             QWidget* parent)
    : QWidget(parent), roster_(roster), grid_(grid), notifier_(notifier), dialogs_(dialogs) {
    setObjectName(QStringLiteral("Picture1_2"));
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    view_ = new GridView(this);
    view_->setObjectName(QStringLiteral("MSRW"));
    view_->setFixedRows(kRosterFirstPerson);
    view_->setSelectionMode(QAbstractItemView::ContiguousSelection);
    view_->setGrid(&grid_);
    auto* editorControls = new QWidget(this);
    editor_ = new RosterEditor(view_, editorControls, roster_, grid_, schema, day, notifier_);
    v->addWidget(editorControls);
    v->addWidget(view_, 1);
    auto* buttons = new QHBoxLayout;
    struct Command {
        int index;
        const char16_t* caption;
        void (DatabasePanel::*run)();
    };
    const Command commands[] = {{4, u"删除", &DatabasePanel::deleteRows},
                                {5, u"增加", &DatabasePanel::addRows},
                                {6, u"从电子表格导入", &DatabasePanel::ImportRosterSpreadsheet},
                                {-1, u"请假", &DatabasePanel::requestLeave},
                                {11, u"关闭", &DatabasePanel::closePanel}};
    for (const Command& c : commands) {
        auto* b = new QPushButton(QString::fromUtf16(c.caption), this);
        b->setObjectName(c.index >= 0 ? QStringLiteral("Command3_%1").arg(c.index)
                                      : QStringLiteral("LeaveButton"));
        buttons->addWidget(b);
        if (c.index < 0) buttons->addStretch();
        connect(b, &QPushButton::clicked, this, c.run);
    }
    v->addLayout(buttons);
}

void DatabasePanel::requestLeave() {
    const int index = grid_.text(grid_.row(), 0).toInt();
    if (!Roster::validIndex(index) || !roster_.person(index).inUse()) {
        notifier_.ShowNotice(QStringLiteral("请先选中一个人"));
        return;
    }
    Q_EMIT leaveRequested(index);
}

void DatabasePanel::closePanel() {
    roster_.close();
    Q_EMIT closed();
}

void DatabasePanel::deleteRows() {
    editor_->parkEditors();
    if (!DeleteRosterRows(roster_, grid_, grid_.row(), grid_.rowSel()))
        notifier_.ShowFailure(NotSavedText(QStringLiteral("删除")));
}

void DatabasePanel::addRows() {
    for (;;) {
        const std::optional<QString> answer = dialogs_.input(
            QStringLiteral("提示"), QStringLiteral("输入增加行数:"), QStringLiteral("1"));
        if (!answer) return;
        const std::optional<int> n = ParseAddRowsCount(*answer, grid_.rows());
        if (!n) continue;
        const AddedRows added = AddRosterRows(roster_, grid_, *n);
        if (added.notStored)
            notifier_.ShowFailure(NotSavedText(QStringLiteral("增加的人员")));
        else if (added.rosterFull)
            notifier_.ShowNotice(QStringLiteral("人员已满5000人，不能再增加"));
        return;
    }
}

void DatabasePanel::ImportRosterSpreadsheet() {
    const std::optional<QString> path = dialogs_.openFile(
        QStringLiteral("导入数据"),
        QStringLiteral("*.xls(电子表格) (*.xls *.xlsx *.ods *.csv);;*.xlsx (*.xlsx);;*.ods "
                       "(*.ods);;*.csv (*.csv)"));
    if (!path) return;
    editor_->parkEditors();
    const ImportTargets t{&roster_, &grid_, &notifier_,
                          [this](const QString& text) { dialogs_.message(text, true); }};
    ProgressGate gate(this, QStringLiteral("正在导入电子表格…"));
    ImportRosterFile(*path, t, nullptr, gate.callback());
}

}  // namespace tallyra
