// The search templates over a search configuration Cfg (the traits of
// search/search_rules.h): quiescence (search/qsearch.h), the zero-window
// searches (search/zero_window.h), the PV search (search/pv_search.h), the
// progress output (search/progress.h), the root move loop
// (search/root_moves.h) and the root driver (search/root_driver.h).  The
// general configuration is instantiated in search/search.cpp, every other
// one in its own file of configs/.
//
// Scores are from the side to move's point of view; depths in half plies; a
// node's ply is the index of its record in search_stack.  Nothing here
// allocates: move lists, pickers and undo records live in each frame.  The
// node poll leaves a running search by throwing SearchAborted, which only the
// root driver catches; no pointer into the transposition table is kept
// across a call that can reach the poll.
#pragma once
#include "search/search_rules.h"
#include "search/qsearch.h"
#include "search/zero_window.h"
#include "search/pv_search.h"
#include "search/progress.h"
#include "search/root_moves.h"
#include "search/root_driver.h"
