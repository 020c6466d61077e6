// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_TESTS_ALLOCATIONHOOKS_H
#define CORVANE_TESTS_ALLOCATIONHOOKS_H

// Linked into a test program, AllocationHooks.cpp replaces operator new and
// delete: it counts allocations (and those not yet deleted) and can make the
// next one fail.
extern long allocationCount;
extern long liveAllocations;
extern bool failNextAllocation;

#endif
