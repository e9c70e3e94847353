#include "platform/cueplayer_canberra.h"

#include <canberra.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/sounds.h"

namespace tallyra {

CanberraCuePlayer::CanberraCuePlayer(QString soundFolder) : folder_(std::move(soundFolder)) {}

CanberraCuePlayer::~CanberraCuePlayer() {
    if (context_) ca_context_destroy(context_);
}

void CanberraCuePlayer::play(const QString& fileName) {
    const QString path = QDir(folder_).filePath(fileName);
    if (!QFileInfo(path).isFile()) return;
    if (!context_ && !unavailable_) {
        if (ca_context_create(&context_) != CA_SUCCESS) {
            context_ = nullptr;
            unavailable_ = true;
            return;
        }
        ca_context_change_props(context_, CA_PROP_APPLICATION_NAME, "Tallyra", nullptr);
    }
    if (!context_) return;
    // Asynchronous; an error (no device, a file it cannot decode) just means no sound.
    ca_context_play(context_, 0, CA_PROP_MEDIA_FILENAME, QFile::encodeName(path).constData(),
                    nullptr);
}

std::unique_ptr<CuePlayer> MakeSystemCuePlayer(const QString& soundFolder) {
    return std::make_unique<CanberraCuePlayer>(soundFolder);
}

}  // namespace tallyra
