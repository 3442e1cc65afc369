// The node searches, the quiescence search, the root move loop and the root
// driver, as templates over a search configuration Cfg.  A configuration
// supplies its own statics:
//   Cfg::history()        its HistoryTable
//   Cfg::contempt()       the score of a repetition in its PV search
//   Cfg::multipv_lines()  its 101 MultiPV records, Cfg::multipv_count() their count
// The general configuration (search/search.cpp) is one instantiation.
//
// Scores are from the side to move's point of view; depths in half plies; a
// node's ply is the index of its record in search_stack.  Nothing here
// allocates: move lists, pickers and undo records live in each frame.  The
// node poll leaves a running search by throwing SearchAborted, which only the
// root driver catches; no pointer into the transposition table is kept
// across a call that can reach the poll.
#pragma once
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "position/board_config.h"
#include "position/legality.h"
#include "position/make_move.h"
#include "position/move_picker.h"
#include "position/move_text.h"
#include "position/movegen.h"
#include "position/position.h"
#include "position/see.h"
#include "search/evaluate.h"
#include "search/host.h"
#include "search/limits.h"
#include "search/search.h"
#include "search/search_support.h"
#include "search/settings.h"
#include "search/tb_probe.h"
#include "search/tt.h"

namespace orvex {

// The general configuration: every piece kind on the board, the process's
// `history`, the first contempt copy and the general MultiPV records.
struct GeneralConfig {
  using Board = GeneralBoard;
  using Eval = GeneralEval;
  static HistoryTable& history() { return orvex::history; }
  static i32 contempt() { return search_settings.contempt_copies[0]; }
  static MultiPvLines& multipv_lines() { return orvex::multipv_lines; }
  static u32& multipv_count() { return orvex::multipv_count; }
};

// Fail-soft bookkeeping of the quiescence loops: raises `best` and `alpha`
// by a move's score; true when the score reaches beta and cuts the node.
inline bool raise_and_test_cut(i32 score, i32& best, i32& alpha, i32 beta) {
  if (score <= best) return false;
  best = score;
  if (score <= alpha) return false;
  alpha = score;
  return score >= beta;
}

// Makes m and evaluates the position reached into `child`.  A move that
// leaves the mover's king attacked is taken back at once: false.  Otherwise
// true, with `gives_check` telling whether the side now to move is in check.
// With `child_probes_table` (the child is a node that reads the table) the
// child's bucket is fetched while the evaluation runs.
template <class Cfg>
inline bool make_legal_move(SearchMove m, UndoRecord& undo, PlyRecord& child, bool& gives_check,
                            bool child_probes_table = false) {
  make_move<typename Cfg::Board>(m, undo);
  if (child_probes_table) tt_prefetch(current_position.state.key);
  gives_check = evaluate_with<typename Cfg::Eval>(child);
  if (mover_king_attacked(child)) [[unlikely]] {
    unmake_move<typename Cfg::Board>(m, undo);
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Quiescence
// ---------------------------------------------------------------------------

template <class Cfg>
i32 qsearch_in_check(i32 alpha, i32 beta, i32 qd, PlyRecord* rec);

// Captures in order of their keys, then (near the start) quiet checks; the
// side to move is not in check.  Full window (alpha, beta).
template <class Cfg>
i32 qsearch(i32 alpha, i32 beta, i32 qd, PlyRecord* rec) {
  using B = typename Cfg::Board;
  using E = typename Cfg::Eval;
  Position& pos = current_position;
  const i32 p = ply_of(rec);
  if (pos.state.fifty >= 100 || is_repetition()) return kDrawScore;
  if (p >= kMaxSearchPly) return rec->static_eval;

  // Mate distance: the side to move, not in check, is mated two plies later
  // at the soonest and gives mate on the next ply at the soonest.
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

  i32 best = mated_at(p);
  if (best > alpha) {
    alpha = best;
    if (best >= beta) return best;
  }
  const i32 b = mate_at(p + 1);
  if (b < beta) {
    beta = b;
    if (b <= alpha) return b;
  }

  MovePair list[kMaxMovePairs];
  const u32 n = collect_evasions<B>(list, ~rec->attacks_them);
  if (pos.state.fifty > 100) return kDrawScore;
  if (pos.state.fifty == 100 && n > 0) return kDrawScore;

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

// ---------------------------------------------------------------------------
// Zero-window searches
// ---------------------------------------------------------------------------

template <class Cfg>
i32 search_zero_window(i32 beta, i32 depth, PlyRecord* rec, NodeFlags flags);
template <class Cfg>
i32 search_zero_window_in_check(i32 beta, i32 depth, PlyRecord* rec, NodeFlags flags);
template <class Cfg>
i32 search_pv(i32 alpha, i32 beta, i32 depth, u8 in_check, PlyRecord* rec);

// Counts a node; every 1024 nodes obeys waiting input, checks the hard time
// limit and leaves the search when it has to stop.
inline void node_poll() {
  SearchStatus& st = search_status;
  st.node_countdown -= 1;
  if (st.node_countdown > 0) return;
  st.node_batches += 1;
  st.node_countdown += 1024;
  poll_input();
  if (platform::tick_count() - st.start_tick >= search_limits.hard_time_ms) st.stop_after_iteration = 1;
  if (st.stop_requested || (st.stop_after_iteration && !search_limits.infinite)) throw SearchAborted{};
}

// What the zero-window searches take from the table entry of their position.
struct ZeroWindowProbe {
  bool found = false;
  u32 move = 0;
  bool probed = false;
  bool probe_high = false;
  i32 lower_depth = 0;
  i32 upper_depth = 0;
  i32 lower = -kMateThreshold;  // corrected; -31000 without a lower bound
  i32 upper = 0;
  u8 flags = 0;

  // Whether the stored lower (upper) bound ends a zero-window node of this
  // depth, beta and flags: deep enough, on the right side of beta, and not
  // from a node of the other type where that type matters.
  bool lower_cuts(i32 depth, i32 beta, NodeFlags f) const {
    return found && lower_depth >= depth && lower >= beta && !((flags & kTtLowerTypeClear) && (f & kNodeType));
  }
  bool upper_cuts(i32 depth, i32 beta, NodeFlags f) const {
    return found && upper_depth >= depth && upper < beta && !((flags & kTtUpperTypeSet) && !(f & kNodeType));
  }
};

inline ZeroWindowProbe probe_zero_window(i32 ply) {
  ZeroWindowProbe r;
  const TtEntry* e = tt_probe(current_position.state.key);
  if (!e) return r;
  r.found = true;
  r.move = e->move;
  r.flags = e->flags;
  r.probed = (e->flags & kTtProbed) != 0;
  r.probe_high = (e->flags & kTtProbeHigh) != 0;
  r.lower_depth = e->lower_depth;
  r.upper_depth = e->upper_depth;
  if (e->lower_depth != 0) r.lower = score_from_tt(e->lower, ply);
  r.upper = score_from_tt(e->upper, ply);
  return r;
}

// A tablebase probe of the node's position; true with the score (relative
// to the root for decisive results) in `out`.
inline bool probe_node_tablebases(i32 depth, bool mate_class_bound, i32 ply, i32& out) {
  const u32 men = static_cast<u32>(__builtin_popcountll(current_position.occupied));
  if (!(depth >= search_settings.tb_probe_depth || mate_class_bound)) return false;
  if (men > search_status.tb_probe_men) return false;
  Score s;
  if (!probe_tablebases(&s)) return false;
  search_status.tb_hits += 1;
  search_status.result_move = 0;
  tt_store_exact(0, depth, s, true);
  if (s > kTbScoreThreshold) s -= ply;
  else if (s < -kTbScoreThreshold) s += ply;
  out = s;
  return true;
}

// The move that takes back, onto an empty square, the move the side to move
// made two plies earlier.
inline bool is_reversing_move(SearchMove m, i32 ply) {
  if (ply < 2) return false;
  const u32 prev = search_stack[ply - 2].current_move;
  return move_from(m) == move_to(prev) && move_to(m) == move_from(prev) &&
         current_position.board[move_to(m)] == kNoPiece && current_position.state.fifty >= 2;
}

template <class Cfg>
i32 search_zero_window(i32 beta, i32 depth, PlyRecord* rec, NodeFlags f) {
  using B = typename Cfg::Board;
  Position& pos = current_position;
  SearchStatus& st = search_status;
  const i32 p = ply_of(rec);
  const i32 plies = depth / 2;

  // 1. Draws.
  if (pos.state.fifty >= 100 || is_repetition()) return kDrawScore;
  if (p >= kMaxSearchPly) return rec->static_eval;

  // 2. Mate distance.
  if (mated_at(p + 2) >= beta) return mated_at(p + 2);
  if (mate_at(p + 1) < beta) return mate_at(p + 1);

  // 3. Hash probe.
  const ZeroWindowProbe h = probe_zero_window(p);
  u32 hash_move = h.move;
  bool probed = h.probed;
  bool probe_high = h.probe_high;
  if (h.lower_cuts(depth, beta, f)) {
    st.result_move = h.move;
    return h.lower;
  }
  if (h.upper_cuts(depth, beta, f)) return h.upper;

  // 4. Tablebases.
  {
    i32 s;
    if (probe_node_tablebases(depth, is_mate_class(beta), p, s)) return s;
  }

  // 5. Static pruning.
  const i32 e = rec->static_eval;
  if (plies <= 2 && e - (plies <= 1 ? 70 : 160) >= beta) {
    st.result_move = 0;
    return e;
  }
  {
    static constexpr i32 kRazorMargin[8] = {45, 45, 80, 110, 160, 210, 700, 1000};
    const i32 v = e + kRazorMargin[plies & 7];
    if (v < beta && depth <= 14 && h.lower < beta) {
      const i32 qd = (f & kNodeType) ? 0 : 2 * (plies + 1);
      const i32 q = qsearch<Cfg>(beta - 1, beta, qd, rec);
      if (q < beta || depth <= ((f & kNodeType) ? 3 : 5)) {
        st.result_move = 0;
        return std::max(v, q);
      }
    }
  }

  PlyRecord* child = rec + 1;
  const bool null_allowed = !probe_high && e - 10 >= beta && !(f & kNodeNoNull) && null_move_material();
  const NodeFlags null_flags = null_move_child_flags(f);

  // 6. Probe block: null move and the shallow PV probe search.
  const bool probe_block = !probed && plies - st.iteration + st.last_iteration >= 10;
  if (probe_block) {
    if (null_allowed) {
      NullMoveUndo nu;
      make_null_move(nu);
      enter_null_child(*rec, *child);
      rec->current_move = 0;
      const i32 nd = depth - 8;
      const i32 score = nd / 2 > 0 ? -search_zero_window<Cfg>(1 - beta, nd, child, null_flags)
                                   : -qsearch<Cfg>(-beta, 1 - beta, 0, child);
      unmake_null_move(nu);
      if (score >= beta) {
        tt_store_lower_nomove(depth, score_to_tt(score, p), (f & kNodeType) ? 0 : kTtLowerTypeClear);
        st.result_move = 0;
        return score;
      }
    }
    st.probe_nesting += 1;
    const i32 s = search_pv<Cfg>(beta + 99, beta + 250, 2, 0, rec);
    st.probe_nesting -= 1;
    if (s >= beta + 100) {
      hash_move = st.result_move;
      if (s > beta + 275) probe_high = true;
    }
    probed = true;
  } else if (null_allowed) {
    // 7. Null move, second form, with a verification search when deep.
    const i32 margin = std::min(8 * depth - 168, 80);
    i32 v = beta;
    if (depth >= 24) v = search_zero_window<Cfg>(beta + 250, depth - 16, rec, own_position_flags(f));
    NullMoveUndo nu;
    make_null_move(nu);
    enter_null_child(*rec, *child);
    rec->current_move = 0;
    i32 score;
    bool failed = false;
    if (v >= beta + 250) {
      const i32 n = -search_zero_window<Cfg>(1 - margin - beta, depth - 16, child, null_flags);
      if (n < beta + margin) {
        score = beta - 1;
        failed = true;
      }
    }
    if (!failed)
      score = (depth - 8) / 2 > 0 ? -search_zero_window<Cfg>(1 - beta, depth - 8, child, null_flags)
                                  : -qsearch<Cfg>(-beta, 1 - beta, 0, child);
    unmake_null_move(nu);
    if (score >= beta) {
      tt_store_lower_nomove(depth, score_to_tt(score, p),
                            static_cast<u8>(((f & kNodeType) ? 0 : kTtLowerTypeClear) | (probed ? kTtProbed : 0)));
      st.result_move = 0;
      return score;
    }
  }

  // 8.
  f = static_cast<u8>(f & ~kNodeNoNull);

  // 9. Shallow move search for a hash move.
  if (!probed && (plies == 3 || hash_move == 0) && p <= 10 && e > beta + 200) {
    const i32 b = std::min(e - 75, 250);
    const i32 s = search_zero_window<Cfg>(b, 1, rec, own_position_flags(f));
    if (s >= b) hash_move = st.result_move;
  }

  // 10. Internal deepening.
  if (depth >= 8 && hash_move == 0 && depth > h.lower_depth + 4 && (f & kNodeMayDeepen) &&
      (e >= beta || depth >= 12)) {
    const i32 s = search_zero_window<Cfg>(beta, depth - 4, rec, internal_deepening_flags(f));
    if (s >= beta) hash_move = st.result_move;
  }

  // 11. Move loop.
  MovePicker picker;
  start_picker(picker, hash_move);
  i32 best = kNoMoveScore;
  i32 count = 0;
  const bool type_set = (f & kNodeType) != 0;
  const i32 r_base = type_set ? 6 : 2;
  const i32 reduce_from = type_set ? 3 : 6;
  static constexpr i32 kFutility[8] = {0, 0, 10, 40, 70, 100, 16000, 16000};
  const i32 futility = depth < 16 ? kFutility[plies] : 16000;

  while (const SearchMove m = next_move<B>(picker, *rec, Cfg::history())) {
    if (beta > 0 && is_reversing_move(m, p)) {
      count += 1;
      best = std::max(best, 0);
      continue;
    }
    UndoRecord undo;
    bool child_check;
    if (!make_legal_move<Cfg>(m, undo, *child, child_check, depth >= 4)) continue;
    rec->current_move = m;
    i32 score;
    if (child_check) {
      score = -search_zero_window_in_check<Cfg>(1 - beta, depth - 1, child, child_flags(f));
    } else {
      if (count >= 7 && picker.stage == kPickQuiets && futility - child->static_eval < beta) {
        unmake_move<B>(m, undo);
        continue;
      }
      i32 r = 0;
      if (depth >= reduce_from &&
          (picker.stage == kPickKiller4 || picker.stage == kPickGenQuiets || picker.stage == kPickQuiets) &&
          count + r_base >= 5) {
        r = r_base;
        if (count >= 8 && child->static_eval + e > 10) r += 1;
      }
      const i32 nd = depth - 2 - r;
      score = nd / 2 > 0 ? -search_zero_window<Cfg>(1 - beta, nd, child, child_flags(f))
                         : -qsearch<Cfg>(-beta, 1 - beta, 0, child);
      if (r > 0 && score >= beta)
        score = -search_zero_window<Cfg>(1 - beta, depth - 2, child, reduced_research_flags(f));
    }
    unmake_move<B>(m, undo);
    count += 1;
    if (score > best) {
      best = score;
      if (score >= beta) {
        // 12. Fail high.
        if (is_quiet_for_killers(m, pos)) update_killers_and_history(Cfg::history(), m, depth, *rec);
        st.result_move = m;
        tt_store_lower(static_cast<u16>(m), depth, score_to_tt(score, p),
                       static_cast<u8>((type_set ? 0 : kTtLowerTypeClear) | (probe_high ? kTtProbeHigh : 0) |
                                       (probed ? kTtProbed : 0)));
        return score;
      }
    }
    f = static_cast<u8>(f & ~kNodeMayDeepen);
  }

  // 13.
  node_poll();
  if (best == kNoMoveScore) {
    st.result_move = 0;
    return kDrawScore;
  }
  tt_store_upper(depth, score_to_tt(best, p),
                 static_cast<u8>((type_set ? kTtUpperTypeSet : 0) | (probe_high ? kTtProbeHigh : 0)));
  return best;
}

template <class Cfg>
i32 search_zero_window_in_check(i32 beta, i32 depth, PlyRecord* rec, NodeFlags f) {
  using B = typename Cfg::Board;
  Position& pos = current_position;
  const i32 p = ply_of(rec);

  if (is_repetition()) return kDrawScore;
  if (p >= kMaxSearchPly) return rec->static_eval;
  if (mated_at(p) >= beta) return mated_at(p);
  if (mate_at(p + 1) < beta) return mate_at(p + 1);

  const ZeroWindowProbe h = probe_zero_window(p);
  // The cut rules of the node out of check; a lower cut keeps result_move.
  if (h.lower_cuts(depth, beta, f)) return h.lower;
  if (h.upper_cuts(depth, beta, f)) return h.upper;
  {
    i32 s;
    if (probe_node_tablebases(depth, is_mate_class(beta), p, s)) return s;
  }

  MovePair list[kMaxMovePairs];
  const u32 n = collect_evasions<B>(list, ~rec->attacks_them);
  if (n >= 2) score_and_sort_moves(Cfg::history(), *rec, list, list + n - 1, h.move);

  if (pos.state.fifty > 100) return kDrawScore;
  if (pos.state.fifty == 100 && n > 0) return kDrawScore;

  const bool type_set = (f & kNodeType) != 0;
  i32 best = mated_at(p);
  if (n == 0) {
    tt_store_upper(depth, score_to_tt(best, p), type_set ? kTtUpperTypeSet : 0);
    return best;
  }

  PlyRecord* child = rec + 1;
  i32 count = 2;
  for (u32 i = 0; i < n; ++i) {
    const SearchMove m = list[i].move;
    if (beta > 0 && is_reversing_move(m, p)) {
      count += 1;
      best = std::max(best, 0);
      continue;
    }
    UndoRecord undo;
    bool child_check;
    if (!make_legal_move<Cfg>(m, undo, *child, child_check, depth >= 4)) continue;
    rec->current_move = m;
    i32 nd = depth - 2 + (child_check ? 1 : 0);
    i32 r = 0;
    if (depth >= 4 && count >= 4 && !child_check) {
      r = 2;
      nd -= 2;
    }
    i32 score;
    if (nd / 2 <= 0) {
      score = child_check ? -qsearch_in_check<Cfg>(-beta, 1 - beta, 0, child)
                          : -qsearch<Cfg>(-beta, 1 - beta, 0, child);
    } else {
      score = child_check ? -search_zero_window_in_check<Cfg>(1 - beta, nd, child, child_flags(f))
                          : -search_zero_window<Cfg>(1 - beta, nd, child, child_flags(f));
    }
    if (r > 0 && score >= beta)
      score = -search_zero_window<Cfg>(1 - beta, nd + 2, child, reduced_research_flags(f));
    count += 1;
    unmake_move<B>(m, undo);
    if (score > best) {
      best = score;
      if (score >= beta) {
        tt_store_lower(static_cast<u16>(m), depth, score_to_tt(score, p), type_set ? 0 : kTtLowerTypeClear);
        return score;
      }
    }
    f = static_cast<u8>(f & ~kNodeMayDeepen);
  }
  tt_store_upper(depth, score_to_tt(best, p), type_set ? kTtUpperTypeSet : 0);
  return best;
}

// ---------------------------------------------------------------------------
// PV search
// ---------------------------------------------------------------------------

// Material value of a captured piece inside the probe search: its exchange value.
inline i32 probe_capture_value(PieceCode captured) { return captured < 14 ? see_value[captured] : 0; }

template <class Cfg>
i32 search_pv(i32 alpha, i32 beta, i32 depth, u8 in_check, PlyRecord* rec) {
  using B = typename Cfg::Board;
  Position& pos = current_position;
  SearchStatus& st = search_status;
  const SearchSettings& opt = search_settings;
  const i32 p = ply_of(rec);
  const i32 e = rec->static_eval;
  const bool probing = st.probe_nesting != 0;

  // 1. Current line.
  if (p == 6 && depth >= 12 && opt.show_currline && opt.output_mode <= kOutputNormal) {
    const u32 now = platform::tick_count();
    if (now > last_currline_tick + 1000) {
      last_currline_tick = now;
      if (may_answer()) {
        char text[64];
        std::size_t len = 0;
        for (i32 i = 0; i < 6; ++i) {
          text[len++] = ' ';
          len += move_to_text(search_stack[i].current_move, text + len);
        }
        text[len] = 0;
        send_line("info currline%s\n", text);
      }
    }
  }

  // 2. Leaves.
  if (depth <= 1) {
    if (in_check) return qsearch_in_check<Cfg>(alpha, beta, probing ? 8 : 12, rec);
    return qsearch<Cfg>(alpha, beta, probing ? 0 : 12, rec);
  }
  if (p >= kMaxSearchPly) return e;

  // 3, 4. Draws.
  if (pos.state.fifty >= 100) return kDrawScore;
  if (is_repetition()) return (p & 1) ? Cfg::contempt() : -Cfg::contempt();

  // 5. Mate distance.
  {
    const i32 a = in_check ? mated_at(p) : mated_at(p + 2);
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

  // 6, 7. Hash entry; with Preserve Analysis its deep bounds are trusted.
  u32 hash_move = 0;
  bool probed = false;
  bool probe_high = false;
  i32 best = kNoMoveScore;
  i32 cap = kMateScore;
  if (const TtEntry* en = tt_first_match(pos.state.key)) {
    const TtEntry entry = *en;
    hash_move = entry.move;
    probed = (entry.flags & kTtProbed) != 0;
    probe_high = (entry.flags & kTtProbeHigh) != 0;
    if (opt.preserve_analysis) {
      const i32 lower = score_from_tt(entry.lower, p);
      if (entry.lower_depth > depth && entry.lower_depth >= 20 && lower >= alpha &&
          !(entry.flags & kTtLowerTypeClear)) {
        alpha = lower;
        best = lower;
        if (lower >= beta) {
          st.result_move = entry.move;
          return lower;
        }
      }
      const i32 upper = score_from_tt(entry.upper, p);
      if (entry.upper_depth > depth && entry.upper_depth >= 20 && upper <= beta &&
          !(entry.flags & kTtUpperTypeSet)) {
        beta = upper;
        cap = upper;
        if (upper <= alpha) return upper;
      }
    }
  }

  // 8. Tablebases.
  {
    i32 s;
    if (probe_node_tablebases(depth, alpha >= kMateThreshold || beta <= -kMateThreshold, p, s)) return s;
  }

  // 9. Internal deepening.
  if (depth >= 4 && hash_move == 0) {
    search_pv<Cfg>(alpha, beta, depth - 2, in_check, rec);
    hash_move = st.result_move;
  }

  // 10. Moves.
  MovePicker picker;
  bool single_evasion = false;
  if (in_check) {
    MovePair* list = picker.evasions;
    const u32 n = collect_evasions<B>(list, ~rec->attacks_them);
    single_evasion = n <= 1;
    if (n >= 2) score_and_sort_moves(Cfg::history(), *rec, list, list + n - 1, hash_move);
    start_evasion_picker(picker);
  } else {
    start_picker(picker, hash_move);
  }
  u32 best_move = 0;
  PlyRecord* child = rec + 1;

  while (const SearchMove m = next_move<B>(picker, *rec, Cfg::history())) {
    // 11.1 A move back is not searched once this node has a winning score.
    if (best > 0 && is_reversing_move(m, p)) continue;
    // 11.2 Forcing moves, decided before the move is made.
    bool extend = single_evasion;
    if (!extend && p > 0 && move_to(m) == move_to(search_stack[p - 1].current_move) &&
        e + 50 < -search_stack[p - 1].static_eval)
      extend = true;
    if (!extend && is_pawn(pos.board[move_from(m)]) && (rank_of(move_to(m)) == 1 || rank_of(move_to(m)) == 6))
      extend = true;

    UndoRecord undo;
    bool gives_check;
    if (!make_legal_move<Cfg>(m, undo, *child, gives_check, depth >= 4)) continue;
    i32 o = 0;
    if (probing) o = 40 * probe_capture_value(undo.captured) - (gives_check ? 100 : 0);
    i32 nd = depth - 2;
    if (!probing) {
      if (extend || gives_check) nd += 2;
      else if (undo.captured != kNoPiece) nd += 1;
    }
    rec->current_move = m;

    i32 score;
    if (best == kNoMoveScore) {
      score = o - search_pv<Cfg>(o - beta, o - alpha, nd, gives_check, child);
    } else {
      if (nd / 2 <= 0) {
        score = gives_check ? o - qsearch_in_check<Cfg>(o - alpha - 1, o - alpha, 8, child)
                            : o - qsearch<Cfg>(o - alpha - 1, o - alpha, probing ? 0 : 8, child);
      } else {
        score = gives_check ? o - search_zero_window_in_check<Cfg>(o - alpha, nd, child, kScoutFlags)
                            : o - search_zero_window<Cfg>(o - alpha, nd, child, kScoutFlags);
      }
      if (score > alpha) score = o - search_pv<Cfg>(o - beta, o - alpha, nd, gives_check, child);
    }
    unmake_move<B>(m, undo);

    if (score > best) {
      best = score;
      if (score > alpha) {
        alpha = score;
        best_move = m;
        if (score >= beta) {
          // 12. Fail high.
          st.result_move = m;
          if (is_quiet_for_killers(m, pos)) update_killers_and_history(Cfg::history(), m, depth, *rec);
          if (!probing)
            tt_store_lower(static_cast<u16>(m), depth, score_to_tt(score, p),
                           static_cast<u8>((probe_high ? kTtProbeHigh : 0) | (probed ? kTtProbed : 0)));
          return std::min(score, cap);
        }
      }
    }
  }

  // 13.
  st.result_move = best_move;
  if (best == kNoMoveScore) return in_check ? mated_at(p) : kDrawScore;
  if (best_move != 0) {
    if (is_quiet_for_killers(best_move, pos)) update_killers_and_history(Cfg::history(), best_move, depth, *rec);
    if (!probing) tt_store_exact(static_cast<u16>(best_move), depth, score_to_tt(best, p));
    return std::min(best, cap);
  }
  if (!probing) tt_store_upper(depth, score_to_tt(best, p), 0);
  return std::min(best, cap);
}

// ---------------------------------------------------------------------------
// Root move loop
// ---------------------------------------------------------------------------

// Appends to `out` the line that starts with `first` and continues with the
// moves stored in the table for each position reached, for which `accept`
// holds.  A move that is not playable (not pseudo-legal, or leaving the
// mover's king attacked) ends the line.  At most `limit` moves.  The
// position is the same afterwards.
template <class Cfg, class Accept>
std::size_t walk_line(SearchMove first, i32 limit, Accept accept, char* out, std::size_t cap) {
  using B = typename Cfg::Board;
  using E = typename Cfg::Eval;
  SearchMove made[64];
  UndoRecord undo[64];
  i32 n = 0;
  std::size_t len = 0;
  out[0] = 0;
  if (limit > 64) limit = 64;
  SearchMove m = first;
  while (m != 0 && n < limit) {
    if (!is_pseudo_legal<B>(m)) break;
    make_move<B>(m, undo[n]);
    PlyRecord scratch;
    compute_attacks_with<E>(scratch);
    if (mover_king_attacked(scratch)) {
      unmake_move<B>(m, undo[n]);
      break;
    }
    made[n++] = m;
    if (len + 8 < cap) {
      if (len > 0) out[len++] = ' ';
      len += move_to_text(m, out + len);
      out[len] = 0;
    }
    if (n >= limit) break;
    const TtEntry* en = tt_last_match_if(current_position.state.key, accept);
    m = en ? en->move : 0;
  }
  while (n > 0) {
    --n;
    unmake_move<B>(made[n], undo[n]);
  }
  return len;
}

// Numbers of the progress lines.
struct ProgressFields {
  char time[32];
  char nps[32];
  char tbhits[32];
  u64 nodes;
};

inline ProgressFields progress_fields() {
  ProgressFields f;
  const SearchStatus& st = search_status;
  const u32 elapsed = shown_time(platform::tick_count(), st.start_tick);
  f.nodes = shown_nodes();
  f.time[0] = f.nps[0] = f.tbhits[0] = 0;
  if (search_settings.output_mode == kOutputVerbose) {
    std::snprintf(f.time, sizeof f.time, "time %" PRIu32 " ", elapsed);
    std::snprintf(f.nps, sizeof f.nps, "nps %" PRIu64 " ", shown_nps(f.nodes, elapsed));
  }
  const u64 hits = shown_tb_hits(st.tb_hits, f.nodes);
  if (hits != 0) std::snprintf(f.tbhits, sizeof f.tbhits, "tbhits %" PRIu64 " ", hits);
  return f;
}

// Root keys: failed-low moves last, then by score.
inline u32 root_key(i32 score, i32 alpha) {
  if (score <= alpha) return static_cast<u32>(-64500);
  if (score >= kMateScore) return static_cast<u32>(-500);
  return static_cast<u32>(score - 32500);
}

// Stable insertion sort of the root moves by key, descending as u32.
inline void sort_root_moves(u32 n) {
  RootMoveList& rl = root_list;
  rl.keys[n] = 0;
  if (n < 2) return;
  for (i32 i = static_cast<i32>(n) - 2; i >= 0; --i) {
    const u32 m = rl.moves[i];
    const u32 k = rl.keys[i];
    u32 j = static_cast<u32>(i);
    while (j + 1 < n && rl.keys[j + 1] > k) {
      rl.moves[j] = rl.moves[j + 1];
      rl.keys[j] = rl.keys[j + 1];
      ++j;
    }
    rl.moves[j] = m;
    rl.keys[j] = k;
  }
}

template <class Cfg>
i32 search_root_moves(i32 /*alpha*/, i32 /*beta*/, i32 depth) {
  using B = typename Cfg::Board;
  using E = typename Cfg::Eval;
  Position& pos = current_position;
  SearchStatus& st = search_status;
  SearchSettings& opt = search_settings;
  RootMoveList& rl = root_list;
  MultiPvLines& lines = Cfg::multipv_lines();
  u32& line_count = Cfg::multipv_count();

  // Outlook: extra depth for full-window searches or for scouts.
  if (opt.outlook > 4) opt.outlook = kOutlookUltraOptimistic;
  static constexpr i32 kBias[6] = {-2, -1, 0, 1, 2, 4};
  const i32 bias = kBias[opt.outlook];
  const i32 pv_deepen = bias < 0 ? -2 * (bias / 2) : 0;
  const i32 scout_deepen = bias > 0 ? 2 * (bias / 2) : 0;

  u32 n = 0;
  while (rl.moves[n]) rl.keys[n++] = 0;
  line_count = 0;
  i32 best = kNoMoveScore;
  i32 alpha = -kMateScore;
  PlyRecord* child = &search_stack[1];

  for (u32 i = 0; i < n; ++i) {
    const SearchMove m = rl.moves[i];
    search_stack[0].current_move = m;
    if (st.best_depth >= 24 && (opt.output_mode == kOutputVerbose || st.depth_lines_started) && may_answer()) {
      char text[8];
      move_to_text(m, text);
      send_line("info currmove %s currmovenumber %d\n", text, static_cast<int>(i + 1));
    }
    const bool push = is_pawn(pos.board[move_from(m)]) &&
                      (rank_of(move_to(m)) == 6 || rank_of(move_to(m)) == 1) && is_see_safe<B>(m);
    UndoRecord undo;
    make_move<B>(m, undo);
    const bool gives_check = evaluate_with<E>(*child);
    const i32 d = depth - 2 + ((push || gives_check) ? 2 : 0);
    i32 score;
    if (best == kNoMoveScore || d / 2 <= 0 || i < opt.multipv) {
      score = -search_pv<Cfg>(-kMateScore, -alpha, d + pv_deepen, gives_check, child);
    } else {
      score = gives_check ? -search_zero_window_in_check<Cfg>(-alpha, d + scout_deepen, child, kScoutFlags)
                          : -search_zero_window<Cfg>(-alpha, d + scout_deepen, child, kScoutFlags);
      if (score > alpha) {
        st.fail_high = 1;
        st.easy_move = 0;
        st.stop_after_iteration = 0;
        score = -search_pv<Cfg>(-kMateScore, -alpha, d + pv_deepen, gives_check, child);
      }
    }
    unmake_move<B>(m, undo);
    rl.keys[i] = root_key(score, alpha);

    // Refutation line of a move that failed low.
    if (opt.output_mode <= kOutputNormal && depth >= 28 && score <= alpha && opt.show_refutations) {
      char text[256];
      walk_line<Cfg>(m, 14, [](const TtEntry& en) { return en.move_depth >= 12; }, text, sizeof text);
      if (may_answer()) send_line("info refutation %s\n", text);
    }

    // Best move.
    if (score > best && (best == kNoMoveScore || score > alpha)) {
      st.best_move = m;
      st.best_score = score;
      st.best_depth = depth;
      if (score < st.last_score - 50) {
        st.score_dropped = 1;
        st.easy_move = 0;
        st.stop_after_iteration = 0;
      } else {
        st.score_dropped = 0;
      }
    }
    if (score > best) best = score;

    // MultiPV record.
    i32 slot = -1;
    for (u32 j = 0; j < line_count; ++j) {
      if (score > lines[j].score) {
        slot = static_cast<i32>(j);
        break;
      }
    }
    if (slot >= 0) {
      for (i32 j = static_cast<i32>(line_count) - 1; j >= slot; --j) lines[j + 1] = lines[j];
      if (line_count < opt.multipv) line_count += 1;
    } else if (line_count < opt.multipv) {
      slot = static_cast<i32>(line_count);
      line_count += 1;
    }
    if (slot >= 0) {
      lines[slot].move = m;
      lines[slot].score = score;
    }
    if (line_count == opt.multipv && line_count > 0) {
      i32 lowest = lines[0].score;
      for (u32 j = 1; j < opt.multipv; ++j) lowest = std::min(lowest, lines[j].score);
      alpha = std::max(alpha, lowest);
    }

    // Record text and progress lines.
    if (slot >= 0 && (st.best_depth >= 10 || score >= kMateThreshold ||
                      (score == alpha && alpha <= -kMateThreshold) ||
                      (n == 1 && depth / 2 == 4 && !search_limits.infinite))) {
      MultiPvLine& line = lines[slot];
      const bool mate_line = is_mate_class(line.score);
      const bool shown_mate = shown_as_mate(line.score);
      const u8 min_depth = opt.output_mode == kOutputSparse ? 20 : (opt.output_mode == kOutputNormal ? 14 : 8);
      char pv[512];
      walk_line<Cfg>(m, mate_line ? 64 : 14,
                [min_depth, shown_mate](const TtEntry& en) { return shown_mate || en.move_depth >= min_depth; },
                pv, sizeof pv);
      const ProgressFields pf = progress_fields();
      const i32 line_depth = multipv_shown_depth(depth);
      st.score_printed = 1;
      std::snprintf(line.text, sizeof line.text, "depth %d score %s %d %snodes %" PRIu64 " %s%spv %s", line_depth,
                    score_unit(line.score), shown_score(line.score, display_scale), pf.time, pf.nodes, pf.nps,
                    pf.tbhits, pv);

      const u32 elapsed = platform::tick_count() - st.start_tick;
      const bool due = opt.output_mode == kOutputVerbose || st.best_score > 10000 || st.best_score < -10000 ||
                       (depth >= 18 && (st.info_printed || elapsed > 100));
      if (due) {
        st.info_printed = 1;
        if (may_answer()) {
          if (opt.multipv == 1) {
            send_line("info %s\n", lines[0].text);
          } else {
            for (u32 k = 0; k < opt.multipv && k < kMultiPvRecords - 1; ++k)
              if (lines[k].move != 0 && lines[k].text[0] != 0)
                send_line("info multipv %d %s\n", static_cast<int>(k + 1), lines[k].text);
          }
        }
      }
    }
  }

  // End of the iteration.
  sort_root_moves(n);
  if (opt.output_mode <= kOutputNormal && depth >= 10 && may_answer()) {
    const ProgressFields pf = progress_fields();
    send_line("info depth %d %snodes %" PRIu64 " %s%s\n", shown_depth(depth), pf.time, pf.nodes, pf.nps, pf.tbhits);
  }
  return best;
}

// ---------------------------------------------------------------------------
// Root driver
// ---------------------------------------------------------------------------

// Whether a root move is one of the moves a "searchmoves" list names: the
// same squares and the same promotion piece.
inline bool named_in_searchmoves(SearchMove m) {
  const UciMove* list = search_limits.searchmoves;
  if (list[0] == 0) return true;
  constexpr UciMove kSquaresAndPromotion = 0xFFF | kUciPromoMask;
  const UciMove named = uci_move_of(m) & kSquaresAndPromotion;
  for (int i = 0; i < kMaxSearchMoves && list[i] != 0; ++i)
    if ((list[i] & kSquaresAndPromotion) == named) return true;
  return false;
}

// Builds root_list.moves: every legal move (restricted to "searchmoves"),
// captures first, in generation order.  Returns their number.
template <class Cfg>
u32 build_root_moves(bool in_check) {
  using B = typename Cfg::Board;
  using E = typename Cfg::Eval;
  Position& pos = current_position;
  RootMoveList& rl = root_list;
  u32 n = 0;
  if (in_check) {
    MovePair list[kMaxMovePairs];
    const u32 count = collect_evasions<B>(list, ~search_stack[0].attacks_them);
    for (u32 i = 0; i < count; ++i) rl.moves[n++] = list[i].move;
    rl.moves[n] = 0;
  } else {
    generate_captures<B>(rl.moves, rl.keys, pos.colour_bb[kWhite], pos.colour_bb[kBlack]);
    while (rl.moves[n]) ++n;
    generate_quiet_moves<B>(rl.moves + n, search_stack[0].attacks_them, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,
                            0xFFFFFFFF, 0xFFFFFFFF, Cfg::history());
    while (rl.moves[n]) ++n;
  }
  u32 kept = 0;
  for (u32 i = 0; i < n; ++i) {
    const SearchMove m = rl.moves[i];
    UndoRecord undo;
    make_move<B>(m, undo);
    evaluate_with<E>(search_stack[1]);
    const bool legal = !mover_king_attacked(search_stack[1]);
    unmake_move<B>(m, undo);
    if (legal && named_in_searchmoves(m)) rl.moves[kept++] = m;
  }
  rl.moves[kept] = 0;
  return kept;
}

// The go command's mate limit: a mate given within `mate_limit` moves, or
// suffered within that many moves, ends the search.
inline bool mate_limit_reached(i32 score) {
  const i32 n = search_limits.mate_limit;
  if (n <= 0) return false;
  const i64 plies_given = 2 * static_cast<i64>(n) - 1;
  const i64 plies_suffered = 2 * static_cast<i64>(n);
  if (score >= kMateThreshold && kMateScore - score <= plies_given) return true;
  if (score <= -kMateThreshold && score + kMateScore <= plies_suffered) return true;
  return false;
}

template <class Cfg>
void search_root_driver() {
  using E = typename Cfg::Eval;
  Position& pos = current_position;
  SearchStatus& st = search_status;
  SearchLimits& lim = search_limits;
  const SearchSettings& opt = search_settings;
  RootMoveList& rl = root_list;

  // Preparation.
  lazy_low = -500;
  lazy_high = 500;
  const bool in_check = evaluate_with<E>(search_stack[0]);
  advance_tt_age();
  clear_killers(search_stack);
  reset_history(Cfg::history());
  const u32 n = build_root_moves<Cfg>(in_check);
  if (n <= 1 && !lim.infinite) lim.depth_limit = 8;
  if (n >= 1) st.best_move = rl.moves[0];

  try {
    st.start_tick = platform::tick_count();
    st.probe_nesting = 0;
    clear_multipv_lines(Cfg::multipv_lines());
    if (const TtEntry* en = tt_last_match(pos.state.key)) rl.root_hash_move = en->move;
    if (n >= 2) {
      for (u32 i = 0; i < n; ++i) {
        const SearchMove m = rl.moves[i];
        const PieceCode victim = pos.board[move_to(m)];
        if (m == rl.root_hash_move) rl.keys[i] = kHashMoveKey;
        else if (victim != kNoPiece) rl.keys[i] = 0x7FFFFEFF + 16 * victim - pos.board[move_from(m)];
        else rl.keys[i] = 0;
      }
      sort_root_moves(n);
    }
    display_scale = display_scale_for(static_cast<u32>(__builtin_popcountll(pos.occupied)));
    st.fail_high = 0;
    st.fail_high_prev = 0;

    for (i32 h = 2; h <= 124; h += 2) {
      st.iteration = h / 2;
      if (st.iteration >= 5) {
        const u32 elapsed = platform::tick_count() - st.start_tick;
        bool due = false;
        if (opt.output_mode == kOutputVerbose) due = true;
        else if (opt.output_mode == kOutputNormal) due = st.depth_lines_started || elapsed > 1250;
        else due = st.depth_lines_started || elapsed > 3000;
        if (due) {
          st.depth_lines_started = 1;
          if (may_answer()) send_line("info depth %d\n", st.iteration - 3);
        }
      }
      st.fail_high_prev = st.fail_high;
      st.fail_high = 0;
      st.score_dropped = 0;

      const i32 score = search_root_moves<Cfg>(-kMateScore, kMateScore, h);

      if (h >= 12) {
        if (score >= kMateThreshold) st.stop_after_iteration = 1;
        recentre_lazy_window(score);
      }
      poll_input();
      st.score_dropped_prev = st.score_dropped;
      st.score_dropped = 0;
      if (lim.pondering && st.iteration == lim.depth_limit) st.strength_move = st.best_move;

      const u64 nodes = shown_nodes();
      if (st.stop_requested || (!lim.infinite && h >= 2 * static_cast<i64>(lim.depth_limit)) ||
          static_cast<i64>(std::min<u64>(nodes, INT64_MAX)) > lim.node_limit || mate_limit_reached(st.best_score))
        st.stop_requested = 1;

      if (h == 2 && n >= 2 && rl.keys[0] >= rl.keys[1] + 200) st.easy_move = 1;
      st.last_score = st.best_score;

      const u32 elapsed = platform::tick_count() - st.start_tick;
      const u32 soft = lim.soft_time_ms;
      if (opt.time_usage == kTimeUsageConstant) {
        if (elapsed >= soft) st.stop_after_iteration = 1;
      } else {
        const bool no_drop = st.score_dropped_prev == 0;
        if ((elapsed >= 4 * soft / 5 && no_drop) || (elapsed >= soft / 5 && st.easy_move) ||
            (elapsed >= 7 * soft / 10 && no_drop && !st.fail_high) ||
            (elapsed >= 6 * soft / 10 && no_drop && !st.fail_high && !st.fail_high_prev))
          st.stop_after_iteration = 1;
      }
      if (h >= 12 && is_mate_class(st.best_score) &&
          (!lim.infinite || lim.pondering))
        break;
      if (st.stop_requested || (st.stop_after_iteration && !lim.infinite)) break;
    }
  } catch (const SearchAborted&) {
    restore_root_position();
    return;
  }

  st.last_search_ms = platform::tick_count() - st.start_tick + 1;
  st.last_iteration = st.iteration;
  if (st.best_score > 15500) st.decisive_result = 1;
  if (!st.score_printed) {
    st.score_printed = 1;
    if (may_answer()) {
      char text[8];
      move_to_text(st.best_move, text);
      const i32 s = st.best_score;
      send_line("info depth %d score %s %d nodes %" PRIu64 " pv %s\n", shown_depth(st.best_depth), score_unit(s),
                shown_score(s, display_scale), shown_nodes(), text);
    }
  }
}

}  // namespace orvex
