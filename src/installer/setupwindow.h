#pragma once

#include <QWidget>
#include <functional>

#include "installer/installmanifest.h"
#include "installer/setupconfig.h"
#include "installer/setupfiles.h"

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
    QString settingsApplication() const;
    void buildUi();
    void Drive1_Change(int index);
    void Dir1_Change(const QString& path);
    void Text1_Change();
    void install();
    void finish();
    void showList(const QStringList& files);
    void setBusy(bool busy);
    QString setting(const QString& key, const QString& fallback);
    bool writeSetting(const QString& key, const QString& value);
    QString dataFolder() const;
    QString defaultTarget() const;
    void runList(const QString& name, const std::function<void(const QString&)>& action);
    Places places() const;
    QString programIn(const QString& folder) const { return folder + u'/' + config_.appName; }
    // True once no copy of the program runs from or on `folder`; asks to end a running one
    // and waits for it. False (after telling the user) when it still runs.
    bool programEnded(const QString& folder, const QString& action);
    void clearRecord();

    Context ctx_;
    AppConfig config_;
    QStringList files_;      // what List1 shows: the data tree at start
    QStringList dataNames_;  // the data tree at start, relative to data/
    qint16 installedVersion_ = 0;
    bool installed_ = false;
    QString target_;  // the clean target of the install, for the finish
    InstallManifest manifest_;
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
