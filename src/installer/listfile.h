#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tallyra {

// The installer's small text files (appname.txt and the K/S/A/D lists) are sequential
// input: items are separated by commas or line breaks, blanks before an item and after an
// unquoted item are dropped, and an item in double quotes keeps its commas and blanks and
// loses the quotes. Anything after the closing quote up to the next separator is ignored.
// Empty items are kept so positions stay meaningful (appname.txt); callers skip them.
QStringList ParseListItems(const QString& text);

// UTF-8 when the bytes are valid UTF-8 (a BOM is dropped), code page 936 otherwise.
QString DecodeListText(const QByteArray& bytes);

// Reads the whole file first, so a file that cannot be read to its end gives what was read
// or nothing, never a wait. Anything that is not a regular file, cannot be opened, or is
// larger than any list sensibly is (4 MiB) gives no items.
QStringList ReadListFile(const QString& path);

}  // namespace tallyra
