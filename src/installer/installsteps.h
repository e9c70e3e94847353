#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "installer/installmanifest.h"
#include "installer/setupconfig.h"

namespace tallyra {

class SetupDialogs;
class SetupPlatform;

// The caption of every box the installer shows.
QString SetupTitle();

// One run of the installer: what it ships and what it found recorded when it started.
struct SetupPlan {
    QString setupFolder;          // clean and absolute; holds data/
    AppConfig config;             // from data/appname.txt
    QStringList dataFiles;        // the data tree as found at start, full paths
    qint16 installedVersion = 0;  // the recorded install, 0 for none
    QString installedPath;        // its recorded folder; may be empty
    // Told when the steps start and stop work the user must not interrupt; may be empty.
    std::function<void(bool busy)> busy;

    QString dataFolder() const;
    QString programIn(const QString& folder) const;
};

struct SetupLoad {
    QString failure;  // the message when there is nothing to install; then `plan` is empty
    SetupPlan plan;
};

// Reads data/appname.txt, lists the data tree and reads the install record.
SetupLoad LoadSetup(SetupPlatform& platform, const QString& setupFolder);

// Where a new install is proposed: the per-user place for programs.
QString ProposedTarget(SetupPlatform& platform, const SetupPlan& plan);

struct InstallRequest {
    QString target;      // as the user typed it
    bool fixed = false;  // the recorded folder of an upgrade, which the user cannot change
    QString action;      // the button's caption, named when a running copy has to end first
};

struct InstallResult {
    enum class Outcome { Refused, Cancelled, Failed, Installed };
    Outcome outcome = Outcome::Cancelled;
    QString target;            // clean
    InstallManifest manifest;  // what this and earlier installs put there, for the finish
    QStringList notCopied;     // relative to data/
    QStringList systemFiles;   // the data/C tree it copied into the system root, full paths
    QStringList notStarted;    // A.txt items
    bool listed = false;       // the manifest was written
    bool recorded = false;     // the install record was saved
    // What to tell the user; empty when a question already said it or was answered No.
    QString message;
};

// Copies the data tree into the target, the data/C tree into the system root, runs the
// K/S/A lists and records the install. Asks before replacing a newer version and before
// ending a copy that runs from the target.
InstallResult Install(SetupPlatform& platform, SetupDialogs& dialogs, const SetupPlan& plan,
                      const InstallRequest& request);

struct FinishRequest {
    QString target;  // as the install left it
    InstallManifest manifest;
    bool run = true;
    bool desktop = true;  // a launcher on the desktop
    bool menu = true;     // a launcher in the program menu
};

struct FinishResult {
    InstallManifest manifest;  // with the launchers it wrote
    QString message;           // what went wrong, one line each; empty when nothing did
};

// Starts the installed program and writes the launchers, which the manifest then names.
FinishResult Finish(SetupPlatform& platform, const SetupPlan& plan, const FinishRequest& request);

// The question to ask before Uninstall, naming what goes.
QString UninstallQuestion(const SetupPlan& plan, const QString& typed);

struct UninstallResult {
    enum class Outcome { Refused, Cancelled, NoFolder, Removed };
    Outcome outcome = Outcome::Cancelled;
    QStringList kept;  // what stays in the folder, relative
    // Refused: the question whether to clear the record (then ClearRecord). Otherwise what
    // to tell the user; empty when a question already said it.
    QString message;
};

// Runs D.txt, clears the record and deletes from `target` what the manifest (or, for an
// install older than it, the shipped tree) says is the program's, and its launchers.
// Asks before ending a copy that runs there. `typed` is the folder as the user sees it,
// empty when none was recorded.
UninstallResult Uninstall(SetupPlatform& platform, SetupDialogs& dialogs, const SetupPlan& plan,
                          const QString& typed, const QString& action);

// Forgets the install: later runs offer neither upgrade nor uninstall.
void ClearRecord(SetupPlatform& platform, const SetupPlan& plan);

}  // namespace tallyra
