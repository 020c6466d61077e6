// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_TESTS_ALLOCATIONHOOKS_H
#define CORVANE_TESTS_ALLOCATIONHOOKS_H

// Linked into a test program, AllocationHooks.cpp replaces operator new and
// delete: it counts allocations and can make the next one fail.
extern long allocationCount;
extern bool failNextAllocation;

#endif
