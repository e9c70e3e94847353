#include <QStringDecoder>
#include <QStringEncoder>

#include "common/gbk.h"

namespace tallyra {

namespace {
bool IsLeadByte(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

// The decoder keeps a lead byte at the very end waiting for more input and drops it; we
// want to see it.
bool EndsInCutLeadByte(QByteArrayView bytes) {
    qsizetype i = 0;
    const qsizetype n = bytes.size();
    while (i < n) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (IsLeadByte(b)) {
            if (i + 1 == n) return true;
            i += 2;
        } else {
            i += 1;
        }
    }
    return false;
}

bool IsAscii(QByteArrayView bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}
}  // namespace

QString DecodeGbk(QByteArrayView bytes) {
    // Most field bytes are ASCII or empty, and opening a converter costs far more than the
    // text itself; the stateless converters are kept for the thread's life.
    if (IsAscii(bytes)) return QString::fromLatin1(bytes);
    thread_local QStringDecoder decoder("CP936", QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (EndsInCutLeadByte(bytes)) text += QChar(QChar::ReplacementCharacter);
    return text;
}

QByteArray EncodeGbk(const QString& text) {
    bool ascii = true;
    for (QChar c : text)
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) return text.toLatin1();
    thread_local QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    return encoder.encode(text);
}

}  // namespace tallyra
