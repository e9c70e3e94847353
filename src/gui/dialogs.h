#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <optional>

class QWidget;

namespace tallyra {

// Every modal question the program asks goes through here, so tests can answer it. Each
// returns nothing when the user cancels.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A box titled "提示" with only an OK button.
    virtual void message(const QString& text, bool critical = false) = 0;
    // A one-line text prompt.
    virtual std::optional<QString> input(const QString& title, const QString& prompt,
                                         const QString& initial) = 0;
    virtual std::optional<QFont> font(const QFont& initial) = 0;
    virtual std::optional<QColor> colour(const QColor& initial) = 0;
    virtual std::optional<QString> openFile(const QString& title, const QString& filter) = 0;
    virtual std::optional<QString> saveFile(const QString& title, const QString& filter) = 0;
};

class QtDialogs final : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void message(const QString& text, bool critical) override;
    std::optional<QString> input(const QString& title, const QString& prompt,
                                 const QString& initial) override;
    std::optional<QFont> font(const QFont& initial) override;
    std::optional<QColor> colour(const QColor& initial) override;
    std::optional<QString> openFile(const QString& title, const QString& filter) override;
    std::optional<QString> saveFile(const QString& title, const QString& filter) override;

private:
    QWidget* parent_;
};

}  // namespace tallyra
