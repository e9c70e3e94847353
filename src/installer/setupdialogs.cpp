#include "installer/setupdialogs.h"

#include <QMessageBox>

namespace tallyra {

void QtSetupDialogs::message(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent_);
    box.exec();
}

bool QtSetupDialogs::confirm(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Yes | QMessageBox::No,
                    parent_);
    // Every question here guards something that cannot be undone: Enter must not do it.
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace tallyra
