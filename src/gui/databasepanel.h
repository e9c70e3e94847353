#pragma once

#include <QWidget>

namespace tallyra {

class Dialogs;
class GridView;
class RosterEditor;
class Workstation;

// Panel 2: the roster grid MSRW with its in-place editors, and the rows it adds, deletes
// and imports from a spreadsheet.
class DatabasePanel : public QWidget {
    Q_OBJECT
public:
    explicit DatabasePanel(QWidget* parent = nullptr);
    void attach(Workstation& station, Dialogs& dialogs);

    void deleteRows();               // 删除 (Command3_4)
    void addRows();                  // 增加 (Command3_5)
    void ImportRosterSpreadsheet();  // 从电子表格导入 (Command3_6)
    void closePanel();               // 关闭 (Command3_11): the roster file with it

    GridView* view() const { return roster_; }
    RosterEditor* editor() const { return editor_; }

Q_SIGNALS:
    void closed();

private:
    GridView* roster_ = nullptr;
    RosterEditor* editor_ = nullptr;
    Workstation* station_ = nullptr;
    Dialogs* dialogs_ = nullptr;
};

}  // namespace tallyra
