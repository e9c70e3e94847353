#pragma once

#include <QByteArray>
#include <QString>

namespace tallyra {

// The one text codec of the data files: code page 936.
//
// Decoding: a byte sequence that is not code page 936 becomes U+FFFD, one per bad
// sequence, and a lead byte cut off at the end of the field becomes U+FFFD as well. Zero
// bytes are kept; fixed fields cut the text at the first one themselves.
// Encoding: a character code page 936 cannot hold becomes "?".
QString DecodeGbk(QByteArrayView bytes);
QByteArray EncodeGbk(const QString& text);

// The characters of `text` that code page 936 cannot hold, each once, in order: what would
// be stored as "?".
QString CharactersOutsideGbk(const QString& text);

// Encodes and cuts at `maxBytes` without splitting a two-byte character.
QByteArray EncodeGbkFitting(const QString& text, qsizetype maxBytes);

}  // namespace tallyra
