#pragma once

#include <QString>
#include <memory>

#include "core/cueplayer.h"

namespace tallyra {

// The system's cue player for the sounds in `soundFolder`: libcanberra on Linux
// (cueplayer_canberra.cpp), PlaySoundW on Windows (cueplayer_win.cpp).
std::unique_ptr<CuePlayer> MakeSystemCuePlayer(const QString& soundFolder);

}  // namespace tallyra
