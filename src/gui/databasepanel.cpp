#include "gui/databasepanel.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/rosterimport.h"
#include "core/rosterrows.h"
#include "core/workstation.h"
#include "gui/dialogs.h"
#include "gui/gridview.h"
#include "gui/progressgate.h"
#include "gui/rostereditor.h"
#include "sheets/spreadsheet.h"

namespace tallyra {

DatabasePanel::DatabasePanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Picture1_2"));
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    roster_ = new GridView(this);
    roster_->setObjectName(QStringLiteral("MSRW"));
    roster_->setFixedRows(kRosterFirstPerson);
    roster_->setSelectionMode(QAbstractItemView::ContiguousSelection);
    auto* editorControls = new QWidget(this);
    editor_ = new RosterEditor(roster_, editorControls);
    v->addWidget(editorControls);
    v->addWidget(roster_, 1);
    auto* buttons = new QHBoxLayout;
    struct Command {
        int index;
        const char16_t* caption;
        void (DatabasePanel::*run)();
    };
    const Command commands[] = {{4, u"删除", &DatabasePanel::deleteRows},
                                {5, u"增加", &DatabasePanel::addRows},
                                {6, u"从电子表格导入", &DatabasePanel::ImportRosterSpreadsheet},
                                {11, u"关闭", &DatabasePanel::closePanel}};
    for (const Command& c : commands) {
        auto* b = new QPushButton(QString::fromUtf16(c.caption), this);
        b->setObjectName(QStringLiteral("Command3_%1").arg(c.index));
        buttons->addWidget(b);
        if (c.index == 6) buttons->addStretch();
        connect(b, &QPushButton::clicked, this, c.run);
    }
    v->addLayout(buttons);
}

void DatabasePanel::attach(Workstation& station, Dialogs& dialogs) {
    station_ = &station;
    dialogs_ = &dialogs;
    roster_->setGrid(&station.rosterGrid());
    editor_->attach(station);
}

void DatabasePanel::closePanel() {
    if (station_) station_->rosterFile().close();
    Q_EMIT closed();
}

void DatabasePanel::deleteRows() {
    if (!station_) return;
    editor_->parkEditors();
    TextGridModel& grid = station_->rosterGrid();
    if (!DeleteRosterRows(station_->roster(), station_->rosterFile(), grid, grid.row(),
                          grid.rowSel()))
        station_->ReportFailure(NotSavedText(QStringLiteral("删除")));
}

void DatabasePanel::addRows() {
    if (!station_) return;
    TextGridModel& grid = station_->rosterGrid();
    for (;;) {
        const std::optional<QString> answer = dialogs_->input(
            QStringLiteral("提示"), QStringLiteral("输入增加行数:"), QStringLiteral("1"));
        if (!answer) return;
        const std::optional<int> n = ParseAddRowsCount(*answer, grid.rows());
        if (!n) continue;
        const AddedRows added = AddRosterRows(station_->roster(), station_->rosterFile(), grid, *n);
        if (added.notStored)
            station_->ReportFailure(NotSavedText(QStringLiteral("增加的人员")));
        else if (added.rosterFull)
            station_->notifier().ShowNotice(QStringLiteral("人员已满5000人，不能再增加"));
        return;
    }
}

void DatabasePanel::ImportRosterSpreadsheet() {
    if (!station_) return;
    const std::optional<QString> path = dialogs_->openFile(
        QStringLiteral("导入数据"),
        QStringLiteral("*.xls(电子表格) (*.xls *.xlsx *.ods *.csv);;*.xlsx (*.xlsx);;*.ods "
                       "(*.ods);;*.csv (*.csv)"));
    if (!path) return;
    editor_->parkEditors();
    ImportTargets t;
    t.roster = &station_->roster();
    t.file = &station_->rosterFile();
    t.grid = &station_->rosterGrid();
    t.schema = &station_->schema();
    t.notifier = &station_->notifier();
    t.criticalMessage = [this](const QString& text) { dialogs_->message(text, true); };
    t.today = station_->day().day;
    ImportResult r;
    {
        ProgressGate gate(this, QStringLiteral("正在导入电子表格…"));
        r = ImportRosterFile(*path, t, nullptr, gate.callback());
    }
    if (r.notStored) station_->PlayCueSound(QStringLiteral("4.wav"));
}

}  // namespace tallyra
