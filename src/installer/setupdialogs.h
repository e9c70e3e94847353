#pragma once

#include <QString>

class QWidget;

namespace tallyra {

// The installer's modal boxes, behind a seam so tests answer them.
class SetupDialogs {
public:
    virtual ~SetupDialogs() = default;
    virtual void message(const QString& text, const QString& title) = 0;
    // Yes/No with the critical icon and No as the default; true for Yes.
    virtual bool confirm(const QString& text, const QString& title) = 0;
};

class QtSetupDialogs final : public SetupDialogs {
public:
    explicit QtSetupDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    void message(const QString& text, const QString& title) override;
    bool confirm(const QString& text, const QString& title) override;

private:
    QWidget* parent_;
};

}  // namespace tallyra
