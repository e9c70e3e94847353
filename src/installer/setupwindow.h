#pragma once

#include <QWidget>
#include <functional>

#include "installer/installsteps.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QStringListModel;

namespace tallyra {

class FolderList;
class SetupDialogs;
class SetupPlatform;

// The installer's one window: target chooser, install or upgrade, finish, uninstall.
class SetupWindow : public QWidget {
    Q_OBJECT
public:
    struct Context {
        QString setupFolder;  // the folder holding data/
        SetupPlatform* platform = nullptr;
        SetupDialogs* dialogs = nullptr;
        std::function<void()> quit;  // ends the installer
    };

    explicit SetupWindow(Context context, QWidget* parent = nullptr);

    // Reads data/appname.txt, sets captions, lists the files, proposes the target and looks
    // for an installed version. False (after telling the user) when there is nothing to
    // install: the program then ends.
    bool Form_Load();

    void Command1_Click();  // install / upgrade, then finish
    void Command3_Click();  // uninstall

private:
    void buildUi();
    void Drive1_Change(int index);
    void Dir1_Change(const QString& path);
    void Text1_Change();
    void install();
    void finish();
    void showList(const QStringList& files);
    void setBusy(bool busy);

    Context ctx_;
    SetupPlan plan_;
    QStringList files_;  // what List1 shows
    bool installed_ = false;
    InstallResult install_;  // the install, for the finish
    int driveIndex_ = -1;

    QLabel* label1_;
    QLabel* label4_;
    QLabel* label5_;
    QWidget* picture1_;
    QLineEdit* text1_;
    QComboBox* drive1_;
    FolderList* dir1_;
    QListView* list1_;
    QStringListModel* list1Model_;
    QCheckBox* check1_[3];
    QPushButton* command1_;
    QPushButton* command2_;
    QPushButton* command3_;
};

}  // namespace tallyra
