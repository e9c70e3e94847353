#pragma once

// Rows and columns of the three grids, as their header rows and fixed columns lay them out.
namespace tallyra {

// Grid sizes and the notices' places are kept in twips, as the files store them; a screen
// pixel is 15 of them.
constexpr int kTwipsPerPixel = 15;

// The sign-in board MSQD: headers in row 0, present/expected in row 1, late/absent in row
// 2, the hidden row 3; one person a row from row 4. Column 0 the roster index (hidden),
// 1 the card, 2 the name, 3-8 the marks of windows 0-5.
constexpr int kBoardFirstPerson = 4;
constexpr int kBoardCountsRow = 1;
constexpr int kBoardLateRow = 2;
constexpr int kBoardIndexColumn = 0;
constexpr int kBoardCardColumn = 1;
constexpr int kBoardFirstWindowColumn = 3;
constexpr int kBoardColumns = 9;

// The roster grid MSRW: titles in row 0, the hidden row 1, one person a row from row 2;
// column 0 the roster index (hidden), column f field f.
constexpr int kRosterFirstPerson = 2;

}  // namespace tallyra
