#pragma once

#include <QFile>
#include <QString>
#include <QStringList>
#include <optional>

namespace tallyra {

struct Ownership;

// Every file below `folder`, full paths, depth first: a folder's own files (by name)
// before its subfolders. Symbolic links to folders are not followed, so a link loop cannot
// make the list endless; unreadable entries are skipped.
QStringList SearchFolder(const QString& folder);

// Recreates the subfolders of `source` under `targetRoot`: each subfolder s becomes
// targetRoot + (s's full path after its first `rootLength` characters). Only folders are
// created; failures are skipped. A symbolic link where a folder is to go is replaced by
// the folder, so nothing is later written through it. Returns the folders it made.
QStringList MkFolder(const QString& source, const QString& targetRoot, qsizetype rootLength);

// Creates every folder along an absolute path, left to right; existing ones are fine.
// Returns the folders it made, outermost first.
QStringList CreateFolderPath(const QString& path);

// Copies over an existing file without ever leaving it half written or missing: the copy
// goes to a temporary name beside the target and is renamed over it, so a running
// program's file is replaced and a link in the target's place is replaced, not followed.
// Keeps the source's permissions; `executable` adds execute wherever read is allowed.
bool CopyFileOver(const QString& source, const QString& target, bool executable = false);

// The same for bytes in hand.
bool WriteFileOver(const QString& target, const QByteArray& bytes, QFile::Permissions mode);

// The whole of a regular file of at most `maxBytes`, never read through a link: what the
// installer reads back of its own writing. Nothing when it is not such a file.
std::optional<QByteArray> ReadOwnFile(const QString& path, qint64 maxBytes);

// Deletes the files that one K.txt / D.txt item names. Backslashes count as "/", a leading
// "~/" is the home folder, and a relative item is taken from `baseFolder`. Wildcards ("*",
// "?", "[...]") apply to the last part only; folders are never deleted. Returns how many
// files went.
int DeleteMatching(const QString& item, const QString& baseFolder, const QString& home);

// Deletes from `folder` (files first, then each subfolder in turn) the files `owned`
// names and removes the folders it names once they are empty; keeps `folder` itself.
// Links are never followed: a link is deleted as a link when it stands where an owned
// file is, and what lies behind a linked folder is never reached. Returns what stays,
// relative to `folder`, folders with a trailing "/".
QStringList DelFolder(const QString& folder, const Ownership& owned);

// The chooser's folder text: "\" becomes "/", then runs of "/" collapse to one.
QString NormaliseFolderText(const QString& text);

// True when a file can be created in `folder` right now (tried, not guessed from bits).
bool CanWriteFolder(const QString& folder);

// `path` with the links of its nearest existing ancestor resolved and the rest appended.
QString CanonicalAlong(const QString& path);

// True when another open file holds an exclusive lock on `path` (the running attendance
// program keeps one on its day status file).
bool IsFileLocked(const QString& path);

// The program's file name in the installed folder: the name itself on Linux, with ".exe"
// on Windows (setupfiles_posix.cpp, setupfiles_win.cpp).
QString ProgramFileName(const QString& appName);
// How a full path starts, as a refusal of a relative one says it.
QString FullPathHint();

// The folders an install or uninstall must keep away from.
struct Places {
    QString home;
    QString systemRoot;  // where data/C goes
    QString data;        // the installer's own data folder
};

// Why `folder` must not be installed into or uninstalled from, or nothing: not a full
// path, a symbolic link, a file system root or the system root, the home folder or one of
// its parents, or a place inside the installer's data folder (links resolved).
std::optional<QString> TargetRefusal(const QString& folder, const Places& places);

// TargetRefusal, and also a folder that holds neither the program `appName` nor a
// manifest: it was not installed there. A folder that does not exist is allowed.
std::optional<QString> UninstallRefusal(const QString& folder, const QString& appName,
                                        const Places& places);

// A freedesktop desktop entry `appName`.desktop in `folder` (created when missing) that
// starts `program` in `workingFolder`; executable, as desktops require for launchers.
// Paths are written in their clean form.
bool WriteDesktopEntry(const QString& folder, const QString& appName, const QString& program,
                       const QString& icon, const QString& workingFolder);

// True for a regular file (not a link) whose Exec line is the one WriteDesktopEntry writes
// for `program`: an entry this installer wrote for that installed copy.
bool IsOwnDesktopEntry(const QString& path, const QString& program);

// `program` as one argument of an Exec line (quoted and escaped when it has to be).
QString DesktopExecArgument(const QString& program);

}  // namespace tallyra
