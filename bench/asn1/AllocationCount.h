// Heap allocations of the process, counted by a replaced global operator new.
#pragma once

namespace Bench {

unsigned long long allocations();

}  // namespace Bench
