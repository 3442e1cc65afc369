// The vocabulary every search shares: scores, per-ply records, killers and
// history, the root move list, MultiPV records, node flags and the conversions
// of scores and counters into the numbers shown to the interface.
#pragma once
#include <array>

#include "position/position.h"
#include "position/types.h"
#include "tablebases/probe.h"

namespace orvex {

// ---- Scores, from the side to move's point of view, in internal units ----
using Score = i32;
constexpr Score kDrawScore = 0;
constexpr Score kMateScore = 32000;         // mated at ply p scores p - 32000
constexpr Score kMateThreshold = 31000;     // at or beyond: mate-class
constexpr Score kTbScoreThreshold = 31700;  // beyond: tablebase distance scores
// kTbUnknown (32767, a table position without a result) comes with the probe.
constexpr Score kNoLineScore = 32500;       // MultiPV record without a line
constexpr Score kNoMoveScore = -32500;      // best score before the first move

constexpr Score mated_at(i32 ply) { return ply - kMateScore; }
constexpr Score mate_at(i32 ply) { return kMateScore - ply; }
constexpr bool is_mate_class(Score s) { return s >= kMateThreshold || s <= -kMateThreshold; }

// ---- Per-ply records ----
struct PlyRecord {
  u64 attacks_us;    // squares attacked by the side to move at this ply
  u64 attacks_them;  // squares attacked by the other side
  u32 killers[4];    // killer moves, most recent first, 0 = none
  i32 static_eval;   // static evaluation for the side to move, tempo included
  u32 current_move;  // move searched from this ply; 0 during a null move
};

constexpr u32 kSearchStackSize = 256;
using SearchStack = std::array<PlyRecord, kSearchStackSize>;
extern SearchStack search_stack;

// Deepest ply at which a node still searches moves: a node at this ply or
// beyond returns its static evaluation, so a child record (ply + 1) and the
// key history (root keys + plies) always fit.
constexpr i32 kMaxSearchPly = 250;
static_assert(kMaxSearchPly + 1 < static_cast<i32>(kSearchStackSize));
static_assert(kRootHistoryLimit + kMaxSearchPly + 2 <= kKeyHistorySize);

// Sets every killer of every record to 0 (at the start of each search).
void clear_killers(SearchStack& stack);

// ---- History ----
// One counter per (piece code - 2) * 64 + target square; one table per search
// configuration.
using HistoryTable = std::array<u32, 12 * 64>;
extern HistoryTable history;  // the general configuration's
constexpr u32 kHistoryStart = 256;
constexpr u32 history_index(PieceCode mover, Square to) { return (mover - 2) * 64 + to; }
void reset_history(HistoryTable& table);

// A move counts as quiet for the killers when it is no promotion, no en passant
// (castling is quiet) and its target square is empty.
inline bool is_quiet_for_killers(SearchMove m, const Position& p) {
  return (m & 0xD000) == 0 && p.board[move_to(m)] == kNoPiece;
}

// A quiet move that cut off (or became the exact best move of a PV node) at a
// node of `depth` half plies: move it to the front of the record's killers and
// add (depth / 2)^2 to its history entry.  Called after the move is taken back,
// so the mover stands on its from-square of current_position.
template <class Record>
inline void update_killers_and_history(HistoryTable& table, SearchMove move, i32 depth, Record& record) {
  u32* k = record.killers;
  if (k[0] != move) {
    if (k[1] != move) {
      if (k[2] != move) k[3] = k[2];
      k[2] = k[1];
    }
    k[1] = k[0];
    k[0] = move;
  }
  const i32 half = depth / 2;
  table[history_index(current_position.board[move_from(move)], move_to(move))] += static_cast<u32>(half * half);
}

// Keys of evasions for sorting, highest first.
constexpr u32 kHashMoveKey = 0x7FFFFFFF;
constexpr u32 kKillerKey0 = 0x7FFFFEFF;  // killers[i] gets kKillerKey0 - i

// Keys the (move, key) pairs from `last` back to `first` (inclusive) of a list
// ended by the pair (0, 0), and sorts them by key, descending, equal keys
// keeping their order: the hash move first, captures (the cheaper mover
// first), the four killers, then every other move by its history entry.
template <class Record>
inline void score_and_sort_moves(const HistoryTable& table, const Record& record, MovePair* first, MovePair* last,
                                 SearchMove hash_move) {
  const Position& p = current_position;
  for (std::ptrdiff_t i = last - first; i >= 0; --i) {
    MovePair* slot = first + i;
    const u32 m = slot->move;
    const Square from = move_from(m), to = move_to(m);
    u32 key;
    if (m == hash_move) key = kHashMoveKey;
    else if (p.board[to] != kNoPiece) key = kHashMoveKey - p.board[from];
    else if (m == record.killers[0]) key = kKillerKey0;
    else if (m == record.killers[1]) key = kKillerKey0 - 1;
    else if (m == record.killers[2]) key = kKillerKey0 - 2;
    else if (m == record.killers[3]) key = kKillerKey0 - 3;
    else key = table[history_index(p.board[from], to)];
    // Sink the pair past every following pair with a larger key; the
    // terminating (0, 0) pair stops it.
    while (slot[1].key > key) {
      slot[0] = slot[1];
      ++slot;
    }
    slot->move = m;
    slot->key = key;
  }
}

// ---- Root move list ----
constexpr u32 kMaxRootMoves = 256;
struct RootMoveList {
  u32 moves[kMaxRootMoves];  // legal root moves, ended by 0
  u32 keys[kMaxRootMoves];   // sort key of each root move
  u32 root_hash_move;        // the root position's move in the transposition table
};
extern RootMoveList root_list;

// ---- MultiPV records ----
constexpr u32 kMultiPvRecords = 101;  // the last only receives a record pushed off the end
constexpr u32 kMultiPvTextSize = 512;
struct MultiPvLine {
  i32 score;                    // kNoLineScore while empty
  u32 move;                     // 0 while empty
  char text[kMultiPvTextSize];  // body of the line's "info" text
};
using MultiPvLines = std::array<MultiPvLine, kMultiPvRecords>;
extern MultiPvLines multipv_lines;  // the general configuration's
extern u32 multipv_count;           // records filled in the current iteration
// Empties the first 100 records (at every search start).
void clear_multipv_lines(MultiPvLines& lines);

// ---- Node flags passed down the zero-window searches ----
using NodeFlags = u8;
constexpr NodeFlags kNodeType = 0x01;
constexpr NodeFlags kNodeMayDeepen = 0x02;
constexpr NodeFlags kNodeNoNull = 0x20;
constexpr NodeFlags kScoutFlags = 7;  // the root's and the PV search's scouts
constexpr NodeFlags child_flags(NodeFlags f) { return f ^ (kNodeType | kNodeMayDeepen); }
constexpr NodeFlags reduced_research_flags(NodeFlags f) { return (f & kNodeType) ^ kNodeType; }
constexpr NodeFlags null_move_child_flags(NodeFlags f) { return ((f & kNodeType) ^ kNodeType) | 0x0E; }
constexpr NodeFlags internal_deepening_flags(NodeFlags f) { return (f & kNodeType) | 6; }
constexpr NodeFlags own_position_flags(NodeFlags f) { return f | kNodeNoNull; }

// ---- Display ----
// 16 + min(16, 32 - men): 16 with 32 men, 32 with 16 men or fewer.  Set by
// every root at the start of its iterations.
extern i32 display_scale;
constexpr i32 display_scale_for(u32 men) {
  const i32 spare = 32 - static_cast<i32>(men);
  return 16 + (spare < 16 ? spare : 16);
}
// Centipawns shown for a score (all divisions truncate toward zero).
constexpr i32 centipawns(Score s, i32 scale) { return (scale * s) / 32 * 116 / 128; }
// Whether a score is shown as a mate distance (strictly beyond 31000).
constexpr bool shown_as_mate(Score s) { return s > kMateThreshold || s < -kMateThreshold; }
// Moves to mate shown for such a score: positive when the root side mates.
constexpr i32 mate_moves(Score s) { return ((s > kMateThreshold ? 32001 : -32001) - s) / 2; }
// A score as the "score" field shows it: the unit ("mate" or "cp") and the
// number in that unit.
constexpr const char* score_unit(Score s) { return shown_as_mate(s) ? "mate" : "cp"; }
constexpr i32 shown_score(Score s, i32 scale) { return shown_as_mate(s) ? mate_moves(s) : centipawns(s, scale); }
// Node count shown: counted nodes x process count x 8.
constexpr u64 shown_node_count(u64 node_batches, i32 node_countdown, u32 process_count) {
  return (node_batches * 1024 - static_cast<u64>(static_cast<i64>(node_countdown))) * process_count * 8;
}
// Value of the "time" field: elapsed milliseconds + 1, in wrapping 32-bit arithmetic.
constexpr u32 shown_time(u32 now_tick, u32 start_tick) { return now_tick - start_tick + 1; }
constexpr u64 shown_nps(u64 shown_nodes, u32 time_value) { return time_value ? shown_nodes * 1024 / time_value : 0; }
// Tablebase hits halved until they are no more than the shown node count.
constexpr u64 shown_tb_hits(u64 tb_hits, u64 shown_nodes) {
  while (tb_hits > shown_nodes) tb_hits >>= 1;
  return tb_hits;
}
// Depth shown for an iteration of d half plies, and in MultiPV record texts.
constexpr i32 shown_depth(i32 half_plies) { return half_plies / 2 - 3; }
constexpr i32 multipv_shown_depth(i32 half_plies) { return (half_plies - 6 > 2 ? half_plies - 6 : 2) / 2; }

}  // namespace orvex
