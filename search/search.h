// The alpha-beta search: the root driver with iterative deepening, the root
// move loop with its progress lines, the zero-window and PV node searches and
// the quiescence search.  The node searches and the root are templates over a
// search configuration (search/search_core.h); the general configuration is
// the one instantiated here.
#pragma once
#include "position/types.h"

namespace orvex {

// Thrown by the node poll when a stop is requested or the hard time limit is
// spent, and caught only by the root drivers, which then set the position up
// again from the stored position text.  Every frame between the poll and the
// root is left as it stands.
struct SearchAborted {};

// Runs body on a thread with a stack large enough for the deepest search
// lines (64 MB) and waits for it; on the caller's stack when no thread can
// be had.
void run_on_search_stack(void (*body)());

// Runs one search of the general configuration on current_position with the
// limits of search_limits; leaves its result in search_status.
void search_root();
// The root of worker processes: the worker configuration (configs/worker.cpp).
void search_root_worker();

// Set by the root of a specialised configuration that refuses to search
// because "searchmoves" leaves its root list empty (it names only moves the
// configuration never generates); the general configuration then searches.
extern u8 root_list_refused;

// Sets up a search that depends only on its position: the table zeroed, its
// ages, the limits and the searcher's status reset and the iteration
// counters as at start-up (benchmarks and tests).
void reset_for_repeatable_search();

// Nodes the current or last search has counted.
u64 counted_nodes();

// Node count shown to the interface: the counted nodes of this search in
// the form search_status keeps them, times 8 and the process count.
u64 shown_nodes();

// Tick of the last "info currline" line (persists across searches).
extern u32 last_currline_tick;

}  // namespace orvex
