// Code page 936 through the system's own tables (MultiByteToWideChar, WideCharToMultiByte),
// with the rules of gbk.h made explicit, so a field reads and writes as it does on Linux:
// one U+FFFD per bad sequence, a bad trail byte read again on its own, "?" per character
// the code page cannot hold, and never a "best fit" stand-in (ä is not stored as a).
#include <windows.h>

#include "common/gbk.h"

namespace tallyra {

namespace {

constexpr UINT kGbk = 936;
// The two single bytes above ASCII, as ICU's table has them: Windows' own tables (and Wine's)
// do not all agree on 0xFF.
constexpr char16_t kEuro = 0x20AC, kByteFF = 0xF8F5;

bool IsLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
bool IsTrail(unsigned char b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }

// One character's bytes; nothing when the code page does not assign them.
bool DecodeOne(const char* bytes, int length, QString& out) {
    wchar_t wide[2];
    const int n = MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, bytes, length, wide, 2);
    if (n <= 0) return false;
    out.append(QStringView(reinterpret_cast<const char16_t*>(wide), n));
    return true;
}

}  // namespace

QString DecodeGbk(QByteArrayView bytes) {
    QString text;
    text.reserve(bytes.size());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            text.append(QLatin1Char(static_cast<char>(b)));
            ++i;
        } else if (IsLead(b) && i + 1 < n && IsTrail(static_cast<unsigned char>(bytes[i + 1]))) {
            if (!DecodeOne(bytes.data() + i, 2, text))
                text.append(QChar(QChar::ReplacementCharacter));
            i += 2;
        } else {
            // A lead byte without its trail is one bad sequence; the trail is read again.
            text.append(QChar(b == 0x80   ? kEuro
                              : b == 0xFF ? kByteFF
                                          : char16_t{QChar::ReplacementCharacter}));
            ++i;
        }
    }
    return text;
}

QByteArray EncodeGbk(const QString& text) {
    QByteArray out;
    out.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text[i];
        if (c.unicode() < 0x80 || c.unicode() == kEuro || c.unicode() == kByteFF) {
            out.append(c.unicode() == kEuro     ? '\x80'
                       : c.unicode() == kByteFF ? '\xFF'
                                                : char(c.unicode()));
            ++i;
            continue;
        }
        const int units = c.isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        char bytes[4];
        BOOL defaulted = FALSE;
        const int got = WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS,
                                            reinterpret_cast<const wchar_t*>(text.utf16() + i),
                                            units, bytes, sizeof bytes, "?", &defaulted);
        if (got <= 0 || defaulted)
            out.append('?');
        else
            out.append(bytes, got);
        i += units;
    }
    return out;
}

}  // namespace tallyra
