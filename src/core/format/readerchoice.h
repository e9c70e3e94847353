#pragma once

#include <QString>

#include "core/format/datafolder.h"

namespace tallyra {

// A keyboard as the key capture sees it.
struct Keyboard {
    QString name;   // what the device calls itself
    QString usbId;  // vendor:product as "vvvv:pppp" in lower-case hex; empty when unknown
    QString where;  // its by-id path or event node, or "XInput": shown, never matched
    // One line for lists: the name, then what tells it apart.
    QString caption() const;
    bool operator==(const Keyboard&) const = default;
};

// The keyboard whose keys are card input, by name and vendor:product: the same reader
// matches under X11 and evdev, and after it moved to another port. No name: any keyboard.
struct ReaderChoice {
    QString name;
    QString usbId;
    bool anyKeyboard() const { return name.isEmpty(); }
    bool matches(const Keyboard& k) const;
    static ReaderChoice Of(const Keyboard& k) { return {k.name, k.usbId}; }
    bool operator==(const ReaderChoice&) const = default;
};

// reader.dat in the data folder, a text file of its own so aset.dat keeps its layout. A
// missing or unreadable file means any keyboard.
ReaderChoice LoadReaderChoice(const DataFolder& folder);
// False when the file could not be written; it then holds what it held before.
bool SaveReaderChoice(const DataFolder& folder, const ReaderChoice& choice);

}  // namespace tallyra
