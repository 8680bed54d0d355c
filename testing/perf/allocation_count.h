// Counts the calls of the global operator new in a benchmark binary, so that a
// benchmark can report how many heap allocations its measured code made.
#ifndef VANTREL_PERF_ALLOCATION_COUNT_H
#define VANTREL_PERF_ALLOCATION_COUNT_H

namespace perf {

// Calls of operator new (any form) since the program started.
long AllocationCount();

}  // namespace perf

#endif
