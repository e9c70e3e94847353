#pragma once

#include <QTableView>

namespace tallyra {

class TextGridModel;

// A view of a text grid as the grid control showed it: no separate header (the header rows
// are grid rows), widths and heights from the grid's twips (15 twips a pixel), and a row
// or column of size 0 hidden.
class GridView : public QTableView {
    Q_OBJECT
public:
    static constexpr int kTwipsPerPixel = 15;

    explicit GridView(QWidget* parent = nullptr);
    void setGrid(TextGridModel* grid);
    TextGridModel* grid() const { return grid_; }

    // A view width in pixels as twips, as the column widths are stored.
    int columnWidthTwips(int column) const;

private:
    void applyColumn(int column, int twips);
    void applyRow(int row, int twips);
    void applyAll();

    TextGridModel* grid_ = nullptr;
};

}  // namespace tallyra
