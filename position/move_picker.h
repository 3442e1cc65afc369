// Staged move picker: hands out the moves of one node one at a time, generating
// each kind only when the earlier ones are used up: the hash move, the captures
// that keep their material (best capture key first), the four killers, the
// quiet moves by history, then the captures that lose material.  A node in
// check fills the picker with its sorted evasions instead.  A template over the
// board configuration; the picker lives in the searching function's frame.
#pragma once
#include "position/board_config.h"
#include "position/legality.h"
#include "position/movegen.h"
#include "position/see.h"

namespace orvex {

using PickStage = u32;
constexpr PickStage kPickHashMove = 0;
constexpr PickStage kPickGenCaptures = 1;
constexpr PickStage kPickCaptures = 2;
constexpr PickStage kPickKiller2 = 3;
constexpr PickStage kPickKiller3 = 4;
constexpr PickStage kPickKiller4 = 5;
constexpr PickStage kPickGenQuiets = 6;
constexpr PickStage kPickQuiets = 7;
constexpr PickStage kPickBadCaptures = 8;
constexpr PickStage kPickEvasions = 9;

struct MovePicker {
  union {
    SearchMove moves[kMaxMoves];                 // captures, later quiet moves
    MovePair evasions[kMaxMoves / 2];         // evasion mode: the caller's pairs
  };
  u32 capture_keys[kMaxCaptures];
  SearchMove bad_captures[kMaxCaptures];  // captures that failed the exchange test, 0-terminated
  PickStage stage;
  u32 index;
  SearchMove hash_move;
  u32 bad_count;
};

// Sets a picker up for a node not in check.
inline void start_picker(MovePicker& p, SearchMove hash_move) {
  p.stage = kPickHashMove;
  p.index = 0;
  p.bad_count = 0;
  p.hash_move = hash_move;
}

// Sets a picker up to hand out an evasion list already written (and sorted)
// into p.evasions.
inline void start_evasion_picker(MovePicker& p) {
  p.stage = kPickEvasions;
  p.index = 0;
  p.bad_count = 0;
  p.hash_move = 0;
}

// The next move of the node, 0 when none is left (do not call again after 0).
// `rec` supplies killers[0..3] and attacks_them; `history` keys the quiet moves.
template <class B = GeneralBoard, class Rec, class H>
inline SearchMove next_move(MovePicker& p, const Rec& rec, const H& history) {
  switch (p.stage) {
    case kPickHashMove:
      p.stage = kPickGenCaptures;
      if (p.hash_move && is_pseudo_legal<B>(p.hash_move)) return p.hash_move;
      [[fallthrough]];
    case kPickGenCaptures:
      p.stage = kPickCaptures;
      p.index = 0;
      generate_captures<B>(p.moves, p.capture_keys, current_position.colour_bb[kWhite],
                           current_position.colour_bb[kBlack]);
      [[fallthrough]];
    case kPickCaptures:
      while (p.moves[p.index]) {
        // Carry the best remaining capture forward; of equal keys the earliest
        // in the current order.  Slot `index` is not read again.
        SearchMove candidate = p.moves[p.index];
        u32 key = p.capture_keys[p.index];
        for (u32 j = p.index + 1; p.moves[j]; ++j) {
          if (p.capture_keys[j] > key) {
            const SearchMove m = p.moves[j];
            const u32 k = p.capture_keys[j];
            p.moves[j] = candidate;
            p.capture_keys[j] = key;
            candidate = m;
            key = k;
          }
        }
        ++p.index;
        if (candidate == p.hash_move) continue;
        if (is_see_safe<B>(candidate)) return candidate;
        p.bad_captures[p.bad_count++] = candidate;
      }
      p.bad_captures[p.bad_count] = 0;
      p.stage = kPickKiller2;
      if (rec.killers[0] != p.hash_move && is_valid_killer<B>(rec.killers[0], rec.attacks_them)) return rec.killers[0];
      [[fallthrough]];
    case kPickKiller2:
      p.stage = kPickKiller3;
      if (rec.killers[1] != p.hash_move && is_valid_killer<B>(rec.killers[1], rec.attacks_them)) return rec.killers[1];
      [[fallthrough]];
    case kPickKiller3:
      p.stage = kPickKiller4;
      if (rec.killers[2] != p.hash_move && is_valid_killer<B>(rec.killers[2], rec.attacks_them)) return rec.killers[2];
      [[fallthrough]];
    case kPickKiller4:
      p.stage = kPickGenQuiets;
      if (rec.killers[3] != p.hash_move && is_valid_killer<B>(rec.killers[3], rec.attacks_them)) return rec.killers[3];
      [[fallthrough]];
    case kPickGenQuiets:
      p.stage = kPickQuiets;
      p.index = 0;
      generate_quiet_moves<B>(p.moves, rec.attacks_them, p.hash_move, rec.killers[0], rec.killers[1],
                              rec.killers[2], rec.killers[3], history);
      [[fallthrough]];
    case kPickQuiets:
      if (SearchMove m = p.moves[p.index]) {
        ++p.index;
        return m;
      }
      p.stage = kPickBadCaptures;
      p.index = 0;
      [[fallthrough]];
    case kPickBadCaptures:
      // After the terminating 0 the index stays on it.
      if (SearchMove m = p.bad_captures[p.index]) {
        ++p.index;
        return m;
      }
      return 0;
    case kPickEvasions:
      if (SearchMove m = p.evasions[p.index].move) {
        ++p.index;
        return m;
      }
      return 0;
    default:
      return 0;
  }
}

}  // namespace orvex
