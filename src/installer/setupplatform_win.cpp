// The installer on Windows: the record in the registry, real shell links in the known
// folders, drives by letter, a running copy asked to close through its window. Wide calls
// only, so Chinese folder names work whatever the system's ANSI code page.
#include <windows.h>
// After windows.h, which the other Windows headers need first.
#include <knownfolders.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <algorithm>
#include <string>

#include "installer/setupfiles.h"
#include "installer/setupplatform.h"

namespace tallyra {

namespace {

std::wstring Wide(const QString& path) { return QDir::toNativeSeparators(path).toStdWString(); }

QString FromWide(const wchar_t* text) {
    return QDir::fromNativeSeparators(QString::fromWCharArray(text));
}

QString KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    QString out;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_CREATE, nullptr, &path))) out = FromWide(path);
    CoTaskMemFree(path);
    return out;
}

// A folder the user may create `path` in: the nearest existing folder along it takes a
// file (tried: Windows' ACLs do not show in permission bits).
bool CanCreateBelow(const QString& path) {
    QString at = path;
    while (!at.isEmpty() && !QFileInfo::exists(at)) {
        const QString up = QFileInfo(at).absolutePath();
        if (up == at) break;
        at = up;
    }
    return CanWriteFolder(at);
}

bool VolumeReady(const QString& root, QString* label = nullptr) {
    wchar_t name[MAX_PATH + 1] = {};
    // No "insert a disk" box for an empty card reader or DVD drive.
    const UINT before = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const bool ready = GetVolumeInformationW(Wide(root).c_str(), name, MAX_PATH + 1, nullptr,
                                             nullptr, nullptr, nullptr, 0) != 0;
    SetErrorMode(before);
    if (ready && label) *label = QString::fromWCharArray(name);
    return ready;
}

// COM for the shell link objects, on this thread, for as long as the object lives.
class ComScope {
public:
    ComScope() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope() {
        if (ok_) CoUninitialize();
    }

private:
    bool ok_;
};

template <typename T>
struct Released {
    T* p = nullptr;
    ~Released() {
        if (p) p->Release();
    }
};

bool SamePath(const QString& a, const QString& b) {
    return QDir::cleanPath(a).compare(QDir::cleanPath(b), Qt::CaseInsensitive) == 0;
}

QString ProcessImage(DWORD pid) {
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return {};
    wchar_t path[32768];
    DWORD size = 32768;
    QString out;
    if (QueryFullProcessImageNameW(process, 0, path, &size)) out = FromWide(path);
    CloseHandle(process);
    return out;
}

BOOL CALLBACK CloseWindowOf(HWND window, LPARAM pid) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    // The program's own windows that a user could close: visible and owned by no other.
    if (owner == DWORD(pid) && IsWindowVisible(window) && !GetWindow(window, GW_OWNER))
        PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

}  // namespace

SystemSetupPlatform::SystemSetupPlatform(QString systemRoot) : systemRoot_(std::move(systemRoot)) {
    if (systemRoot_.isEmpty())
        systemRoot_ = qEnvironmentVariable("SystemDrive", QStringLiteral("C:")) + u'/';
}

// Where Visual Basic's SaveSetting keeps an application's sections, so an install recorded
// by an earlier installer of the same name is found: HKEY_CURRENT_USER\Software\VB and VBA
// Program Settings\<application>\<section>, string values.
const QString kSettingsOrganisation = QStringLiteral("VB and VBA Program Settings");

QString SystemSetupPlatform::readSetting(const QString& application, const QString& section,
                                         const QString& key, const QString& fallback) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganisation,
                       application);
    return settings.value(section + u'/' + key, fallback).toString();
}

bool SystemSetupPlatform::writeSetting(const QString& application, const QString& section,
                                       const QString& key, const QString& value) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganisation,
                       application);
    settings.setValue(section + u'/' + key, value);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

bool SystemSetupPlatform::startProgram(const QString& program, const QString& workingFolder) {
    const std::wstring file = Wide(program), folder = Wide(workingFolder);
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.lpDirectory = folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&info) != 0;
}

bool SystemSetupPlatform::startCommand(const QString& commandLine, const QString& workingFolder) {
    // As a line typed at the command prompt, without a console window of its own.
    std::wstring line = L"cmd.exe /d /c " + commandLine.toStdWString();
    const std::wstring folder = Wide(workingFolder);
    STARTUPINFOW start = {};
    start.cb = sizeof start;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        folder.c_str(), &start, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

QList<qint64> SystemSetupPlatform::processesUsing(const QString& program, const QString&) {
    // Which process holds a file open Windows does not tell a normal user; the running copy
    // is found by its program, and its lock on the status file says the rest (isLocked).
    QList<qint64> out;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return out;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    const DWORD self = GetCurrentProcessId();
    const QString name = QFileInfo(program).fileName();
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == self ||
            QString::fromWCharArray(entry.szExeFile).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (SamePath(ProcessImage(entry.th32ProcessID), program)) out.append(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return out;
}

bool SystemSetupPlatform::endProcess(qint64 pid) {
    // WM_CLOSE as the close button sends it: the program saves and exits.
    return pid > 0 && EnumWindows(CloseWindowOf, LPARAM(pid));
}

bool SystemSetupPlatform::isLocked(const QString& file) { return IsFileLocked(file); }

QList<SetupPlatform::Volume> SystemSetupPlatform::volumes() {
    QList<Volume> out;
    wchar_t drives[512] = {};
    const DWORD length = GetLogicalDriveStringsW(511, drives);
    if (length == 0 || length > 511) return out;
    for (const wchar_t* root = drives; *root; root += wcslen(root) + 1) {
        const UINT type = GetDriveTypeW(root);
        if (type == DRIVE_UNKNOWN || type == DRIVE_NO_ROOT_DIR) continue;
        const QString path = FromWide(root);
        QString label;
        if (!VolumeReady(path, &label)) continue;  // no medium, or a drive that does not answer
        out.append({path, label});
    }
    return out;
}

bool SystemSetupPlatform::isReady(const QString& root) {
    return VolumeReady(root) && QFileInfo(root).isDir();
}

QString SystemSetupPlatform::homeFolder() { return QDir::homePath(); }

QString SystemSetupPlatform::programsFolder() {
    // The data files live beside the program, so the program goes where this user may write:
    // "D:\Program Files" on a fixed drive D: that takes files, else the user's own programs
    // folder (%LOCALAPPDATA%\Programs), which needs no administrator.
    const QString onD = QStringLiteral("D:/Program Files");
    if (GetDriveTypeW(L"D:\\") == DRIVE_FIXED && CanCreateBelow(onD)) return onD;
    QString own = KnownFolder(FOLDERID_UserProgramFiles);
    if (own.isEmpty())
        own = QDir::fromNativeSeparators(qEnvironmentVariable("LOCALAPPDATA")) +
              QStringLiteral("/Programs");
    return CanCreateBelow(own) ? own : homeFolder();
}

QString SystemSetupPlatform::desktopFolder() { return KnownFolder(FOLDERID_Desktop); }

QString SystemSetupPlatform::applicationsFolder() { return KnownFolder(FOLDERID_Programs); }

QString SystemSetupPlatform::launcherPath(const QString& folder, const QString& appName) {
    return folder + u'/' + appName + QStringLiteral(".lnk");
}

bool SystemSetupPlatform::writeLauncher(const QString& folder, const QString& appName,
                                        const QString& program, const QString& workingFolder) {
    if (!QDir().mkpath(folder)) return false;
    const ComScope com;
    Released<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link.p))))
        return false;
    const std::wstring target = Wide(QDir::cleanPath(program));
    link.p->SetPath(target.c_str());
    link.p->SetWorkingDirectory(Wide(QDir::cleanPath(workingFolder)).c_str());
    link.p->SetIconLocation(target.c_str(), 0);
    link.p->SetDescription(QStringLiteral("刷卡签到、人员名单和考勤统计").toStdWString().c_str());
    Released<IPersistFile> file;
    if (FAILED(link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p))))
        return false;
    return SUCCEEDED(file.p->Save(Wide(launcherPath(folder, appName)).c_str(), TRUE));
}

bool SystemSetupPlatform::isOwnLauncher(const QString& path, const QString& program) {
    // A shell link is a file of its own; isSymLink() would count it as a link on Windows.
    const QFileInfo info(path);
    if (info.isSymbolicLink() || info.isJunction() || !info.isFile()) return false;
    const ComScope com;
    Released<IShellLinkW> link;
    Released<IPersistFile> file;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link.p))) ||
        FAILED(link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p))) ||
        FAILED(file.p->Load(Wide(path).c_str(), STGM_READ)))
        return false;
    wchar_t target[MAX_PATH] = {};
    if (FAILED(link.p->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH))) return false;
    return SamePath(FromWide(target), program);
}

}  // namespace tallyra
