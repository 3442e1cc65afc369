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
// Stages of a picker with tactical mode (rule_tactical_picker): 0 to 8 as
// above, then the tactical stages, and evasions at 14.
constexpr PickStage kPickTacticalHashMove = 9;
constexpr PickStage kPickTacticalGenCaptures = 10;
constexpr PickStage kPickTacticalCaptures = 11;
constexpr PickStage kPickQuietChecks = 12;
constexpr PickStage kPickTacticalBadCaptures = 13;
constexpr PickStage kPickTacticalEvasions = 14;

// The evasion stage of configuration B's picker.
template <class B>
constexpr PickStage evasion_stage() {
  return rule_tactical_picker<B>() ? kPickTacticalEvasions : kPickEvasions;
}

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
  i32 eval_gap;  // tactical mode: beta minus the node's static evaluation
};

// Sets a picker up for a node not in check.
inline void start_picker(MovePicker& p, SearchMove hash_move) {
  p.stage = kPickHashMove;
  p.index = 0;
  p.bad_count = 0;
  p.hash_move = hash_move;
}

// Sets a picker up in tactical mode (configurations with a tactical picker).
inline void start_tactical_picker(MovePicker& p, SearchMove hash_move, i32 eval_gap) {
  p.stage = kPickTacticalHashMove;
  p.index = 0;
  p.bad_count = 0;
  p.hash_move = hash_move;
  p.eval_gap = eval_gap;
}

// Sets a picker up to hand out an evasion list already written (and sorted)
// into p.evasions.
template <class B = GeneralBoard>
inline void start_evasion_picker(MovePicker& p) {
  p.stage = evasion_stage<B>();
  p.index = 0;
  p.bad_count = 0;
  p.hash_move = 0;
}

namespace picker_detail {

// Hands out the remaining captures, best key first (of equal keys the earliest
// in the current order), skipping the hash move; with `see_test` a capture that
// fails the exchange test is deferred.  0 when they are used up.
template <class B>
inline SearchMove next_capture(MovePicker& p, bool see_test) {
  while (p.moves[p.index]) {
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
    ++p.index;  // slot index is not read again
    if (candidate == p.hash_move) continue;
    if (!see_test || is_see_safe<B>(candidate)) return candidate;
    p.bad_captures[p.bad_count++] = candidate;
  }
  p.bad_captures[p.bad_count] = 0;
  return 0;
}

}  // namespace picker_detail

// The next move of the node, 0 when none is left (do not call again after 0).
// `rec` supplies killers[0..3] and attacks_them; `history` keys the quiet moves
// (indexed (piece code - 2) * 64 + to), or orders them itself through a member
// generate_quiets<B>(moves, attacked, hash move, four killers).
template <class B = GeneralBoard, class Rec, class H>
inline SearchMove next_move(MovePicker& p, const Rec& rec, const H& history) {
  using namespace picker_detail;
  const Position& pos = current_position;
  auto valid_killer = [&](u32 slot) {
    return rec.killers[slot] != p.hash_move && is_valid_killer<B>(rec.killers[slot], rec.attacks_them);
  };
  switch (p.stage) {
    case kPickHashMove:
      p.stage = kPickGenCaptures;
      if (p.hash_move && is_pseudo_legal<B>(p.hash_move)) return p.hash_move;
      [[fallthrough]];
    case kPickGenCaptures:
      p.stage = kPickCaptures;
      p.index = 0;
      generate_captures<B>(p.moves, p.capture_keys, pos.colour_bb[kWhite], pos.colour_bb[kBlack], rec.attacks_them);
      [[fallthrough]];
    case kPickCaptures:
      if (SearchMove m = next_capture<B>(p, true)) return m;
      p.stage = kPickKiller2;
      if (valid_killer(0)) return rec.killers[0];
      [[fallthrough]];
    case kPickKiller2:
      p.stage = kPickKiller3;
      if (valid_killer(1)) return rec.killers[1];
      [[fallthrough]];
    case kPickKiller3:
      p.stage = kPickKiller4;
      if (valid_killer(2)) return rec.killers[2];
      [[fallthrough]];
    case kPickKiller4:
      p.stage = kPickGenQuiets;
      if (valid_killer(3)) return rec.killers[3];
      [[fallthrough]];
    case kPickGenQuiets:
      p.stage = kPickQuiets;
      p.index = 0;
      // `history` is a table of keys, or an object that orders the quiet
      // moves its own way (generate_quiets).
      if constexpr (requires { history.template generate_quiets<B>(p.moves, u64{}, 0u, 0u, 0u, 0u, 0u); })
        history.template generate_quiets<B>(p.moves, rec.attacks_them, p.hash_move, rec.killers[0], rec.killers[1],
                                            rec.killers[2], rec.killers[3]);
      else
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
    default:
      break;
  }
  if constexpr (rule_tactical_picker<B>()) {
    switch (p.stage) {
      case kPickTacticalHashMove:
        p.stage = kPickTacticalGenCaptures;
        if (p.hash_move && is_pseudo_legal<B>(p.hash_move)) return p.hash_move;
        [[fallthrough]];
      case kPickTacticalGenCaptures: {
        p.stage = kPickTacticalCaptures;
        p.index = 0;
        // Far below beta, pawns are no capture targets.
        const bool drop_pawns = p.eval_gap >= 300;
        const u64 white = pos.colour_bb[kWhite] & ~(drop_pawns ? pos.piece_bb[kWhitePawn - 2] : 0);
        const u64 black = pos.colour_bb[kBlack] & ~(drop_pawns ? pos.piece_bb[kBlackPawn - 2] : 0);
        generate_captures<B>(p.moves, p.capture_keys, white, black, rec.attacks_them);
        [[fallthrough]];
      }
      case kPickTacticalCaptures: {
        if (SearchMove m = next_capture<B>(p, p.eval_gap <= 128)) return m;
        p.stage = kPickQuietChecks;
        p.index = 0;
        // Checks may take the pawns that were left out of the captures.
        const bool pawns_free = p.eval_gap >= 300;
        const u64 free_if_black = ~pos.colour_bb[kWhite] | (pawns_free ? pos.piece_bb[kWhitePawn - 2] : 0);
        const u64 free_if_white = ~pos.colour_bb[kBlack] | (pawns_free ? pos.piece_bb[kBlackPawn - 2] : 0);
        generate_quiet_checks<B>(p.moves, free_if_black, free_if_white, rec.attacks_them, kMovePromoQueen,
                                 kMovePromoQueen);
        [[fallthrough]];
      }
      case kPickQuietChecks:
        if (SearchMove m = p.moves[p.index]) {
          ++p.index;
          return m;
        }
        p.stage = kPickTacticalBadCaptures;
        p.index = 0;
        [[fallthrough]];
      case kPickTacticalBadCaptures:
        if (SearchMove m = p.bad_captures[p.index]) {
          ++p.index;
          return m;
        }
        return 0;
      default:
        break;
    }
  }
  if (p.stage == evasion_stage<B>()) {
    if (SearchMove m = p.evasions[p.index].move) {
      ++p.index;  // counts pairs
      return m;
    }
  }
  return 0;
}

}  // namespace orvex
