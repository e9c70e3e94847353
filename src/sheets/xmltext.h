#pragma once

#include <QString>
#include <string>

namespace tallyra {

// What the workbooks this program writes share when they put cells into sheet XML.

inline constexpr const char* kXmlDeclaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
inline constexpr const char* kOfficeRelationshipsNs =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

// A column's letters: 1 is "A", 27 is "AA".
inline std::string ColumnLetters(int column) {
    std::string s;
    for (; column > 0; column = (column - 1) / 26)
        s.insert(s.begin(), char('A' + (column - 1) % 26));
    return s;
}

// XML text, with what XML cannot hold (control characters but tab and line ends) left out.
inline void AppendEscaped(std::string& out, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    for (char c : utf8) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                if (quint8(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r') out.push_back(c);
        }
    }
}

}  // namespace tallyra
