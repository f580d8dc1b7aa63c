// Memory for a large buffer about to be written whole, such as a decrypted copy of a stream:
// huge pages where the system grants them, since faulting in fresh small pages costs more.
#ifndef CELLSIFT_WORKBOOK_FRESHBUFFER_H
#define CELLSIFT_WORKBOOK_FRESHBUFFER_H

#include <stddef.h>
#include <stdint.h>

#include <memory>

// cb writable bytes (at least one), zero until written. From cbFreshHugeMin bytes on they are
// aligned to and advised into huge pages, or ordinary pages where the system refuses; smaller
// ones come from the heap, where a huge page would cost more to clear than it saves. Throws
// std::bad_alloc when there is no memory for them.
const size_t cbFreshHugeMin = size_t(2) << 20;
std::shared_ptr<uint8_t> AllocateFresh(size_t cb);

#endif
