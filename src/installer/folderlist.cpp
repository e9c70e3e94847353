#include "installer/folderlist.h"

#include <QDir>
#include <QStyle>

namespace tallyra {

FolderList::FolderList(QWidget* parent) : QListWidget(parent) {
    connect(this, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { setPath(item->data(Qt::UserRole).toString()); });
}

void FolderList::setPath(const QString& path) {
    const QString clean = QDir::cleanPath(path);
    if (clean == path_) return;
    path_ = clean;
    fill();
    Q_EMIT pathChanged(path_);
}

void FolderList::fill() {
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirIcon);
    auto add = [this](const QIcon& icon, const QString& text, const QString& target) {
        auto* item = new QListWidgetItem(icon, text, this);
        item->setData(Qt::UserRole, target);
    };
    add(open, path_, path_);
    QDir dir(path_);
    if (!dir.isRoot()) add(closed, QStringLiteral(".."), QFileInfo(path_).absolutePath());
    const QFileInfoList subs =
        dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::LocaleAware);
    for (const QFileInfo& s : subs) add(closed, s.fileName(), s.absoluteFilePath());
    setCurrentRow(0);
}

}  // namespace tallyra
