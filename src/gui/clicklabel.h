#pragma once

#include <QLabel>
#include <QMouseEvent>

namespace tallyra {

// A label that reports mouse presses with their button.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

Q_SIGNALS:
    void pressed(Qt::MouseButton button);

protected:
    void mousePressEvent(QMouseEvent* e) override {
        Q_EMIT pressed(e->button());
        e->accept();
    }
};

}  // namespace tallyra
