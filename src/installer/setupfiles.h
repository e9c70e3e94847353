#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tallyra {

// Every file below `folder`, full paths, depth first: a folder's own files (by name)
// before its subfolders. Symbolic links to folders are not followed, so a link loop cannot
// make the list endless; unreadable entries are skipped.
QStringList SearchFolder(const QString& folder);

// Recreates the subfolders of `source` under `targetRoot`: each subfolder s becomes
// targetRoot + (s's full path after its first `rootLength` characters). Only folders are
// created; failures are skipped.
void MkFolder(const QString& source, const QString& targetRoot, qsizetype rootLength);

// Creates every folder along an absolute path, left to right; existing ones are fine.
void CreateFolderPath(const QString& path);

// Copies over an existing file without ever leaving it half written or missing: the copy
// goes to a temporary name beside the target and is renamed over it. A running program's
// file can be replaced this way too. Keeps the source's permissions.
bool CopyFileOver(const QString& source, const QString& target);

// Deletes the files that one K.txt / D.txt item names. Backslashes count as "/", a leading
// "~/" is the home folder, and a relative item is taken from `baseFolder`. Wildcards ("*",
// "?", "[...]") apply to the last part only; folders are never deleted. Returns how many
// files went.
int DeleteMatching(const QString& item, const QString& baseFolder, const QString& home);

// Empties `folder` (files first, then each subfolder emptied and removed) and keeps it.
// Symbolic links are removed as links, never followed. Failures are skipped.
void DelFolder(const QString& folder);

// The chooser's folder text: "\" becomes "/", then runs of "/" collapse to one.
QString NormaliseFolderText(const QString& text);

// True when a file can be created in `folder` right now (tried, not guessed from bits).
bool CanWriteFolder(const QString& folder);

// Why emptying `folder` as an uninstall must not happen, or nothing when it may: a file
// system root (or the installer's system root), the home folder or one of its parents, or
// a folder without the installed program `appName` in it. A folder that does not exist
// has nothing to delete and is allowed.
std::optional<QString> UninstallRefusal(const QString& folder, const QString& appName,
                                        const QString& home, const QString& systemRoot);

// A freedesktop desktop entry `appName`.desktop in `folder` (created when missing) that
// starts `program` in `workingFolder`; executable, as desktops require for launchers.
bool WriteDesktopEntry(const QString& folder, const QString& appName, const QString& program,
                       const QString& icon, const QString& workingFolder);

// `program` as one argument of an Exec line (quoted and escaped when it has to be).
QString DesktopExecArgument(const QString& program);

}  // namespace tallyra
