#pragma once

#include <QtGlobal>

// aset.dat, the settings: 1-based byte positions and widths. Positions not named here are
// never read or written.
namespace tallyra::layout::aset {

constexpr int kOptionCount = 13;
constexpr qint64 OptionPos(int k) { return k + 1; }  // one byte each, 0 or 1
constexpr qint64 kPrecisionPos = 14;                 // field 3 at 14, field 5 at 15
constexpr qint64 kPopupFontNamePos = 18;
constexpr qint64 kFontNameBytes = 24;
constexpr qint64 kPopupBoldPos = 68;
constexpr qint64 kPopupItalicPos = 69;
constexpr qint64 kPopupColourPos = 70;     // 32-bit 0x00BBGGRR
constexpr qint64 kPasswordLengthPos = 74;  // 16-bit, in characters
constexpr qint64 kPasswordPos = 76;
constexpr qint64 kPasswordBytes = 24;
constexpr qint64 kRosterWidthsPos = 100;  // 16-bit twips per roster grid column 0-25
constexpr int kRosterColumns = 26;
constexpr qint64 kBoardWidthsPos = 200;  // 16-bit twips per board column 0-8
constexpr int kBoardColumns = 9;
constexpr qint64 kPopupSizePos = 306;  // single-precision points
constexpr qint64 kGridSizePos = 400;
constexpr qint64 kGridFontNamePos = 404;
constexpr qint64 kGridBoldPos = 464;
constexpr qint64 kGridItalicPos = 465;
constexpr qint64 kFileBytes = 465;

}  // namespace tallyra::layout::aset
