#include "board/dialogs.h"

#include <QMessageBox>

namespace tallyra {

void QtDialogs::message(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("提示"), text, QMessageBox::Ok, parent_);
    box.exec();
}

}  // namespace tallyra
