// Quiescence: captures by key and, near the start, quiet checks for a side
// not in check; every evasion for a side in check.
#pragma once
#include "position/movegen.h"
#include "position/see.h"
#include "search/search_rules.h"

namespace orvex {

// Captures in order of their keys, then (near the start, where the
// configuration tries them) quiet checks; the side to move is not in check.
// Full window (alpha, beta).
template <class Cfg>
i32 qsearch(i32 alpha, i32 beta, i32 qd, PlyRecord* rec) {
  using B = typename Cfg::Board;
  using E = typename Cfg::Eval;
  Position& pos = current_position;
  const i32 p = ply_of(rec);
  if ((Cfg::kFiftyMoveRule && pos.state.fifty >= 100) || is_repetition()) return kDrawScore;
  if (p >= kMaxSearchPly) return rec->static_eval;

  if constexpr (Cfg::kMateByPly) {
    // Mate distance: the side to move, not in check, is mated two plies
    // later at the soonest and gives mate on the next ply at the soonest.
    const i32 a = mated_at(p + 2);
    if (a > alpha) {
      alpha = a;
      if (a >= beta) return a;
    }
    const i32 b = mate_at(p + 1);
    if (b < beta) {
      beta = b;
      if (b <= alpha) return b;
    }
  }

  const i32 e = rec->static_eval;
  i32 best = e;
  u64 targets_if_black = pos.colour_bb[kWhite];
  u64 targets_if_white = pos.colour_bb[kBlack];
  if (e > alpha) {
    alpha = e;
    if (e >= beta) return e;
  } else if (e < alpha - 210) {
    // Far below alpha a pawn capture cannot help: leave pawns out.
    const u64 pawns = pos.piece_bb[kWhitePawn - 2] | pos.piece_bb[kBlackPawn - 2];
    targets_if_black &= ~pawns;
    targets_if_white &= ~pawns;
    best = e + 210;
  }

  PlyRecord* child = rec + 1;
  {
    SearchMove moves[256];
    u32 keys[256];
    u32 n = generate_captures<B>(moves, keys, targets_if_black, targets_if_white);
    while (n > 0) {
      // The remaining capture with the greatest key, the first of equal keys;
      // it leaves the list, the rest keeps its order.
      u32 pick = 0;
      for (u32 j = 1; j < n; ++j)
        if (keys[j] > keys[pick]) pick = j;
      const SearchMove m = moves[pick];
      for (u32 j = pick + 1; j < n; ++j) {
        moves[j - 1] = moves[j];
        keys[j - 1] = keys[j];
      }
      --n;

      const bool safe = is_see_safe<B>(m);
      if (qd < 3 && !safe) continue;
      UndoRecord undo;
      bool child_check;
      if (!make_legal_move<Cfg>(m, undo, *child, child_check)) continue;
      const i32 step = safe ? 2 : 8;
      const i32 score = child_check ? -qsearch_in_check<Cfg>(-beta, -alpha, qd - step, child)
                                    : -qsearch<Cfg>(-beta, -alpha, qd - step, child);
      unmake_move<B>(m, undo);
      if (raise_and_test_cut(score, best, alpha, beta)) return score;
    }
  }

  if constexpr (Cfg::kQuietChecksInQsearch) {
    if (qd <= -2) return best;

    SearchMove checks[256];
    generate_quiet_checks<B>(checks, ~targets_if_black, ~targets_if_white);
    for (u32 i = 0; checks[i]; ++i) {
      const SearchMove m = checks[i];
      const bool safe = is_see_safe<B>(m);
      if (qd < 10 && !safe) continue;
      UndoRecord undo;
      make_move<B>(m, undo);
      compute_attacks_with<E>(*child);
      if (mover_king_attacked(*child)) {
        unmake_move<B>(m, undo);
        continue;
      }
      const i32 score = -qsearch_in_check<Cfg>(-beta, -alpha, qd - (safe ? 2 : 8), child);
      unmake_move<B>(m, undo);
      if (raise_and_test_cut(score, best, alpha, beta)) return score;
    }
  }
  return best;
}

// Every evasion of a side in check.  `rec` holds at least the attack sets.
template <class Cfg>
i32 qsearch_in_check(i32 alpha, i32 beta, i32 qd, PlyRecord* rec) {
  using B = typename Cfg::Board;
  using E = typename Cfg::Eval;
  Position& pos = current_position;
  const i32 p = ply_of(rec);
  if (is_repetition()) return kDrawScore;
  if (p >= kMaxSearchPly) {
    // Quiet checks fill only the attack sets: evaluate before scoring.
    evaluate_with<E>(*rec);
    return rec->static_eval;
  }

  i32 best = mated_score<Cfg>(p);
  if (best > alpha) {
    alpha = best;
    if (best >= beta) return best;
  }
  if constexpr (Cfg::kMateByPly) {
    const i32 b = mate_at(p + 1);
    if (b < beta) {
      beta = b;
      if (b <= alpha) return b;
    }
  }

  MovePair list[kMaxMovePairs];
  const u32 n = collect_evasions<B>(list, ~rec->attacks_them);
  if constexpr (Cfg::kFiftyMoveRule) {
    if (pos.state.fifty > 100) return kDrawScore;
    if (pos.state.fifty == 100 && n > 0) return kDrawScore;
  }

  i32 step = 2;
  if (n >= 2) {
    step = 8;
    for (u32 i = 0; i < n; ++i) {
      const SearchMove m = list[i].move;
      const PieceCode victim = pos.board[move_to(m)];
      const PieceCode mover = pos.board[move_from(m)];
      list[i].key = victim ? static_cast<u32>((static_cast<i32>(victim) * 16 - static_cast<i32>(mover)) *
                                              static_cast<i32>(victim))
                           : 0;
    }
    sort_pairs_descending_signed(list, n);
  }

  PlyRecord* child = rec + 1;
  for (u32 i = 0; i < n; ++i) {
    const SearchMove m = list[i].move;
    UndoRecord undo;
    bool child_check;
    if (!make_legal_move<Cfg>(m, undo, *child, child_check)) continue;
    const i32 score = child_check ? -qsearch_in_check<Cfg>(-beta, -alpha, qd - 2, child)
                                  : -qsearch<Cfg>(-beta, -alpha, qd - step, child);
    unmake_move<B>(m, undo);
    if (raise_and_test_cut(score, best, alpha, beta)) return score;
  }
  return best;
}

}  // namespace orvex
