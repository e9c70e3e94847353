#include "common/largepages.h"

namespace tallyra {

// Large pages on Windows need a privilege a school's account does not hold; small pages do.
void AdviseLargePages(void*, std::size_t) {}

}  // namespace tallyra
