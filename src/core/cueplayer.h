#pragma once

#include <QString>

namespace tallyra {

// Plays a cue sound by file name ("0.wav", "3.wav", "4.wav"). Must return at once and stay
// silent when the file is missing or cannot be played.
class CuePlayer {
public:
    virtual ~CuePlayer() = default;
    virtual void play(const QString& fileName) = 0;
};

class SilentCuePlayer final : public CuePlayer {
public:
    void play(const QString&) override {}
};

}  // namespace tallyra
