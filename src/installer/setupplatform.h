#pragma once

#include <QList>
#include <QString>

namespace tallyra {

// What the installer needs from the system, so the window logic runs the same on every
// platform and in tests with a scratch home and system root.
class SetupPlatform {
public:
    struct Volume {
        QString root;   // mount point, a folder
        QString label;  // shown beside it; may be empty
    };

    virtual ~SetupPlatform() = default;

    // Per-user settings: plain text values under application, section and key.
    virtual QString readSetting(const QString& application, const QString& section,
                                const QString& key, const QString& fallback) = 0;
    virtual bool writeSetting(const QString& application, const QString& section,
                              const QString& key, const QString& value) = 0;

    // Both start detached and return at once; false when it could not be started.
    virtual bool startProgram(const QString& program, const QString& workingFolder) = 0;
    virtual bool startCommand(const QString& commandLine, const QString& workingFolder) = 0;

    // Processes that run `program` or hold `file` open, this one left out: the running
    // attendance program keeps its day status file open. Only those this user may see.
    virtual QList<qint64> processesUsing(const QString& program, const QString& file) = 0;
    // Asks a process to end the way a session logout does (it saves and exits).
    virtual bool endProcess(qint64 pid) = 0;
    // True when another open file holds an exclusive lock on `file` (the running attendance
    // program keeps one on its day status file).
    virtual bool isLocked(const QString& file) = 0;

    virtual QList<Volume> volumes() = 0;
    virtual bool isReady(const QString& root) = 0;

    virtual QString homeFolder() = 0;
    // Where this user's programs go; the home folder when that place cannot be made.
    virtual QString programsFolder() = 0;
    virtual QString desktopFolder() = 0;
    virtual QString applicationsFolder() = 0;

    // The launcher that shows `appName` in `folder` (the desktop or the program menu).
    virtual QString launcherPath(const QString& folder, const QString& appName) = 0;
    // Writes that launcher, making `folder` when missing, to start `program` in
    // `workingFolder`; false when it could not.
    virtual bool writeLauncher(const QString& folder, const QString& appName,
                               const QString& program, const QString& workingFolder) = 0;
    // True for a launcher writeLauncher wrote for `program` (and not a link to one).
    virtual bool isOwnLauncher(const QString& path, const QString& program) = 0;
    // Where the data/C tree goes: "/" normally, a scratch folder under test.
    virtual QString systemRoot() = 0;
};

// The platform of the system the installer is built for; each system has its file and only
// that one is compiled. setupplatform_linux.cpp: an INI file in the user's config folder,
// freedesktop desktop entries, /proc and SIGTERM for a running copy. setupplatform_win.cpp:
// the registry (HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application>),
// shell links (.lnk) in the known folders, the drive list, WM_CLOSE for a running copy.
class SystemSetupPlatform : public SetupPlatform {
public:
    // An empty `systemRoot` is the file system root, or the root of the system drive
    // (%SystemDrive%) on Windows.
    explicit SystemSetupPlatform(QString systemRoot = {});

    QString readSetting(const QString& application, const QString& section, const QString& key,
                        const QString& fallback) override;
    bool writeSetting(const QString& application, const QString& section, const QString& key,
                      const QString& value) override;
    bool startProgram(const QString& program, const QString& workingFolder) override;
    bool startCommand(const QString& commandLine, const QString& workingFolder) override;
    QList<qint64> processesUsing(const QString& program, const QString& file) override;
    bool endProcess(qint64 pid) override;
    bool isLocked(const QString& file) override;
    QList<Volume> volumes() override;
    bool isReady(const QString& root) override;
    QString homeFolder() override;
    QString programsFolder() override;
    QString desktopFolder() override;
    QString applicationsFolder() override;
    QString launcherPath(const QString& folder, const QString& appName) override;
    bool writeLauncher(const QString& folder, const QString& appName, const QString& program,
                       const QString& workingFolder) override;
    bool isOwnLauncher(const QString& path, const QString& program) override;
    QString systemRoot() override { return systemRoot_; }

private:
    QString systemRoot_;
};

}  // namespace tallyra
