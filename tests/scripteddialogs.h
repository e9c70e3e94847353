#pragma once

#include <QQueue>
#include <QStringList>
#include <variant>

#include "gui/dialogs.h"

namespace tallyra::test {

// Answers dialogs from a script, in order; an unscripted question is cancelled. Records
// every message and prompt.
class ScriptedDialogs final : public Dialogs {
public:
    using Answer = std::variant<std::monostate, QString, QFont, QColor>;  // monostate: cancel

    void setNextAnswer(Answer a) { answers_.enqueue(std::move(a)); }

    void message(const QString& text, bool) override { messages << text; }
    std::optional<QString> input(const QString& title, const QString& prompt,
                                 const QString& initial) override {
        prompts << title + u'|' + prompt + u'|' + initial;
        return next<QString>();
    }
    std::optional<QFont> font(const QFont&) override { return next<QFont>(); }
    std::optional<QColor> colour(const QColor&) override { return next<QColor>(); }
    std::optional<QString> openFile(const QString&, const QString&) override {
        return next<QString>();
    }
    std::optional<QString> saveFile(const QString&, const QString&) override {
        return next<QString>();
    }

    QStringList messages;
    QStringList prompts;

private:
    template <typename T>
    std::optional<T> next() {
        if (answers_.isEmpty()) return std::nullopt;
        const Answer a = answers_.dequeue();
        if (const T* v = std::get_if<T>(&a)) return *v;
        return std::nullopt;
    }
    QQueue<Answer> answers_;
};

}  // namespace tallyra::test
