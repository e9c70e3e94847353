#pragma once

#include <QString>

#include "core/cueplayer.h"

struct ca_context;

namespace tallyra {

// Cue sounds through libcanberra, from the given sound folder.
class CanberraCuePlayer final : public CuePlayer {
public:
    explicit CanberraCuePlayer(QString soundFolder);
    ~CanberraCuePlayer() override;
    CanberraCuePlayer(const CanberraCuePlayer&) = delete;
    CanberraCuePlayer& operator=(const CanberraCuePlayer&) = delete;
    void play(const QString& fileName) override;

private:
    QString folder_;
    ca_context* context_ = nullptr;
    bool unavailable_ = false;
};

}  // namespace tallyra
