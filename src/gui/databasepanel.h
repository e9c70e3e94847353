#pragma once

#include <QWidget>

namespace tallyra {

class Dialogs;
class GridView;
class Notifier;
class RosterEditor;
class RosterStore;
class SchemaStore;
class TextGridModel;
struct DayCaptions;

// Panel 2: the roster grid MSRW with its in-place editors, and the rows it adds, deletes
// and imports from a spreadsheet.
class DatabasePanel : public QWidget {
    Q_OBJECT
public:
    DatabasePanel(RosterStore& roster, TextGridModel& grid, const SchemaStore& schema,
                  const DayCaptions& day, Notifier& notifier, Dialogs& dialogs,
                  QWidget* parent = nullptr);

    void deleteRows();               // 删除 (Command3_4)
    void addRows();                  // 增加 (Command3_5)
    void ImportRosterSpreadsheet();  // 从电子表格导入 (Command3_6)
    void closePanel();               // 关闭 (Command3_11): the roster file with it
    void requestLeave();             // 请假: for the current row's person

    GridView* view() const { return view_; }
    RosterEditor* editor() const { return editor_; }

Q_SIGNALS:
    void closed();
    // 请假 for the person of the current row.
    void leaveRequested(int index);

private:
    RosterStore& roster_;
    TextGridModel& grid_;
    Notifier& notifier_;
    Dialogs& dialogs_;
    GridView* view_ = nullptr;
    RosterEditor* editor_ = nullptr;
};

}  // namespace tallyra
