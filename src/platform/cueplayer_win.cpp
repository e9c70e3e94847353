// Cue sounds through the Windows sound API: asynchronous, and silent (no default beep)
// when a file is missing or cannot be played.
#include <windows.h>
// After windows.h, which the other Windows headers need first.
#include <mmsystem.h>

#include <QDir>
#include <QFileInfo>

#include "platform/sounds.h"

namespace tallyra {

namespace {

class WinMmCuePlayer final : public CuePlayer {
public:
    explicit WinMmCuePlayer(QString folder) : folder_(std::move(folder)) {}
    ~WinMmCuePlayer() override { PlaySoundW(nullptr, nullptr, 0); }

    void play(const QString& fileName) override {
        const QString path = QDir(folder_).filePath(fileName);
        if (!QFileInfo(path).isFile()) return;
        // A new cue cuts the one still playing, as a card swiped right after another does.
        PlaySoundW(QDir::toNativeSeparators(path).toStdWString().c_str(), nullptr,
                   SND_FILENAME | SND_ASYNC | SND_NODEFAULT);
    }

private:
    QString folder_;
};

}  // namespace

std::unique_ptr<CuePlayer> MakeSystemCuePlayer(const QString& soundFolder) {
    return std::make_unique<WinMmCuePlayer>(soundFolder);
}

}  // namespace tallyra
