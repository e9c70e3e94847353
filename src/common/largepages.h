#pragma once

#include <cstddef>

namespace tallyra {

// Lets the system back [p, p + bytes) with large pages where it can. A year of statistics
// rows spans tens of thousands of small pages, and faulting each one in costs more than the
// scan that fills it. Where the system has no such advice it does nothing.
void AdviseLargePages(void* p, std::size_t bytes);

}  // namespace tallyra
