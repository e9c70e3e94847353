#include "gui/dialogs.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace tallyra {

void QtDialogs::message(const QString& text, bool critical) {
    QMessageBox box(critical ? QMessageBox::Critical : QMessageBox::NoIcon, QStringLiteral("提示"),
                    text, QMessageBox::Ok, parent_);
    box.exec();
}

std::optional<QString> QtDialogs::input(const QString& title, const QString& prompt,
                                        const QString& initial) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(parent_, title, prompt, QLineEdit::Normal, initial, &ok);
    if (!ok) return std::nullopt;
    return text;
}

std::optional<QFont> QtDialogs::font(const QFont& initial) {
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, initial, parent_);
    if (!ok) return std::nullopt;
    return chosen;
}

std::optional<QColor> QtDialogs::colour(const QColor& initial) {
    const QColor chosen = QColorDialog::getColor(initial, parent_);
    if (!chosen.isValid()) return std::nullopt;
    return chosen;
}

std::optional<QString> QtDialogs::openFile(const QString& title, const QString& filter) {
    const QString path = QFileDialog::getOpenFileName(parent_, title, QString(), filter);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

std::optional<QString> QtDialogs::saveFile(const QString& title, const QString& filter) {
    const QString path = QFileDialog::getSaveFileName(parent_, title, QString(), filter);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

}  // namespace tallyra
