#pragma once

#include <QListWidget>

namespace tallyra {

// The folder list of the target chooser: the current folder on top, its parent, then its
// subfolders. Activating an entry (double click, Enter) makes it the current folder.
class FolderList : public QListWidget {
    Q_OBJECT
public:
    explicit FolderList(QWidget* parent = nullptr);

    QString path() const { return path_; }
    // Shows `path`; emits pathChanged when it differs from the current one. A folder that
    // cannot be listed still becomes current, with no subfolders shown.
    void setPath(const QString& path);

Q_SIGNALS:
    void pathChanged(const QString& path);

private:
    void fill();

    QString path_;
};

}  // namespace tallyra
