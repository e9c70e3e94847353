#pragma once

#include <QValidator>

#include "common/gbk.h"

namespace tallyra {

// A box that takes no more than its file field holds: `maxBytes` of code page 936, so what
// is shown is what is stored.
class GbkLengthValidator final : public QValidator {
public:
    GbkLengthValidator(qsizetype maxBytes, QObject* parent)
        : QValidator(parent), maxBytes_(maxBytes) {}
    State validate(QString& input, int&) const override {
        return EncodeGbk(input).size() <= maxBytes_ ? Acceptable : Invalid;
    }

private:
    qsizetype maxBytes_;
};

}  // namespace tallyra
