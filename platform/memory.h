// Memory hints for the station's large fixed buffers (hundreds of MB). On a
// machine with 4 kB pages each first touch of a page is a fault of its own, and
// a 250,001-record download touches some 75,000 of them; asking for 2 MB pages
// where the system offers them on request makes that a few hundred.
#pragma once

#include <cstddef>

namespace lumvex {

// Asks the system to back the whole 2 MB-aligned pages inside [p, p + bytes)
// with large pages. A hint only: without support nothing changes.
void AdviseLargePages(void* p, size_t bytes);

}  // namespace lumvex
