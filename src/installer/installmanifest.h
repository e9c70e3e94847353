#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

namespace tallyra {

// What one install put on the disk, kept beside the program in the installed folder so an
// uninstall can take away exactly that. An upgrade adds to the list it finds; only files
// that are gone are dropped from it.
struct InstallManifest {
    QStringList files;    // relative to the installed folder
    QStringList folders;  // relative; made by the install, removed when empty
    QStringList parents;  // absolute; the installed folder and its parents, when made by it
    QStringList entries;  // absolute; desktop entries written at the finish

    // `appName` + ".manifest" in `folder`.
    static QString pathIn(const QString& folder, const QString& appName);
    // Nothing when the file is missing, is a link or is not one of ours. Lines that do not
    // name a plain relative path (or an absolute one where that is expected) are dropped, so
    // an edited manifest cannot point an uninstall outside the folder.
    static bool read(const QString& path, InstallManifest& out);
    bool write(const QString& path, const QString& heading) const;
};

// Which entries below the installed folder an uninstall may delete, by relative path: what
// the install put there, the attendance program's own data files, and folders that may go
// once they are empty.
struct Ownership {
    QSet<QString> files;
    QSet<QString> folders;
    bool ownsFile(const QString& relative) const;
    bool ownsFolder(const QString& relative) const;
};

// The files the attendance program writes into its data folder: roster, definitions and
// element lists, settings, time windows, day status, last-run record, reader settings and
// the year logs under adnt/sols.
bool IsProgramDataFile(const QString& relative);

}  // namespace tallyra
