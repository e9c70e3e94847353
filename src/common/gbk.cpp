// What the code page 936 codec means on every system; the conversions themselves are Qt's
// (ICU) on Linux, gbk_icu.cpp, and the system's own on Windows, gbk_win.cpp, whose Qt has no
// ICU.
#include "common/gbk.h"

namespace tallyra {

QString CharactersOutsideGbk(const QString& text) {
    QString out;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString one = text.mid(i, n);
        i += n;
        if (one.front().unicode() < 0x80 || one == u"?") continue;
        const QByteArray bytes = EncodeGbk(one);
        // The encoder writes "?" for what it cannot hold.
        if ((bytes.isEmpty() || bytes.contains('?')) && !out.contains(one)) out += one;
    }
    return out;
}

QByteArray EncodeGbkFitting(const QString& text, qsizetype maxBytes) {
    QByteArray bytes = EncodeGbk(text);
    if (bytes.size() <= maxBytes) return bytes;
    qsizetype i = 0;
    while (i < maxBytes) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const qsizetype step = b >= 0x81 && b <= 0xFE ? 2 : 1;
        if (i + step > maxBytes) break;
        i += step;
    }
    bytes.truncate(i);
    return bytes;
}

}  // namespace tallyra
