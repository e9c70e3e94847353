#pragma once

#include <QtGlobal>

// urs.dat, the last start: a tagged date at position 1 (16-bit type 7, then an OLE date).
namespace tallyra::layout::urs {

constexpr qint64 kTagPos = 1;
constexpr qint16 kDateTag = 7;
constexpr qint64 kDatePos = 3;
constexpr qint64 kRecordBytes = 10;

}  // namespace tallyra::layout::urs
