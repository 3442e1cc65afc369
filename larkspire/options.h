// The edition's options: Hash, Max CPUs and MultiPV have fields; Clear Hash
// is a button and Ponder is only declared.
#pragma once
#include "core/worker_team.h"
#include "position/types.h"

namespace orvex::larkspire {

constexpr u32 kMaxMultiPv = 100;

struct EngineOptions {
  u32 hash_mb = kDefaultHashMb;    // table size in MB, a power of two
  u32 max_cpus = kMaxProcesses;    // upper bound on the processes, master included
  u32 multipv = 1;                 // principal variations shown, 1..100
};

extern EngineOptions engine_options;

// The identification block answered to "uci" (master only).
void send_identification();

// Carries out a "setoption" line of the Hash, Max CPUs, Clear Hash or MultiPV
// row and returns true; false when the line matches none of them.
bool handle_option_line(const char* line);

// "ucinewgame" and Clear Hash: forwards the line to the workers, clears the
// shared table (its ages; in the master every entry) and the pawn hash.
void clear_hashes(const char* line);

}  // namespace orvex::larkspire
