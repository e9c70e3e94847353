#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace tallyra {

// Every modal question the program asks goes through here, so tests can answer it.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A box titled "提示" with only an OK button.
    virtual void message(const QString& text) = 0;
};

class QtDialogs final : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void message(const QString& text) override;

private:
    QWidget* parent_;
};

}  // namespace tallyra
