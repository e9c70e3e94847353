#include "models/headersort.h"

#include "models/textgridmodel.h"

namespace tallyra {

std::vector<int> BoardSortCodes() {
    using C = TextGridModel::SortCode;
    return {C::NumericAscending, C::NumericAscending, C::TextAscending,
            C::TextAscending,    C::TextAscending,    C::TextAscending,
            C::TextAscending,    C::TextAscending,    C::TextAscending};
}

std::vector<int> StatsSortCodes() {
    using C = TextGridModel::SortCode;
    return {C::TextAscending,    C::TextAscending,    C::TextAscending,
            C::NumericAscending, C::NumericAscending, C::TextAscending};
}

int HeaderSort::next(int column) {
    if (column < 0 || size_t(column) >= codes_.size()) return 0;
    descending_[size_t(column)] = !descending_[size_t(column)];
    return codes_[size_t(column)] + (descending_[size_t(column)] ? 1 : 0);
}

}  // namespace tallyra
