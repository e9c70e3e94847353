#pragma once

#include <cstddef>
#include <vector>

namespace tallyra {

// The ascending sort code of each column (3 numeric, 7 text) of the sign-in board and of the
// statistics grid.
std::vector<int> BoardSortCodes();
std::vector<int> StatsSortCodes();

// Header-click sorting: the first click on a column sorts it descending, the next
// ascending, each column on its own.
class HeaderSort {
public:
    explicit HeaderSort(std::vector<int> ascendingCodes)
        : codes_(std::move(ascendingCodes)), descending_(codes_.size(), false) {}
    // The code to sort column c with now.
    int next(int column);
    bool descending(int column) const { return descending_[size_t(column)]; }

private:
    std::vector<int> codes_;
    std::vector<bool> descending_;
};

}  // namespace tallyra
