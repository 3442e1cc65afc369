// The zero-window searches: a node not in check and a node in check, each
// asking whether the position reaches beta; the node poll that counts nodes
// and obeys input; the table probe and the tablebase probe of a node.
#pragma once
#include <algorithm>

#include "platform/platform.h"
#include "position/legality.h"
#include "position/move_picker.h"
#include "search/qsearch.h"
#include "search/host.h"
#include "search/limits.h"
#include "search/search_rules.h"
#include "tablebases/probe.h"

namespace orvex {


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
struct ZeroWindowProbe : StoredBounds {
  bool found = false;
  u32 move = 0;
  bool probed = false;
  bool probe_high = false;
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

template <class Cfg>
inline ZeroWindowProbe probe_zero_window(i32 ply) {
  const TtEntry* e = tt_probe(current_position.state.key);
  if (!e) return {};
  ZeroWindowProbe r{stored_bounds<Cfg>(*e, ply)};
  r.found = true;
  r.move = e->move;
  r.flags = e->flags;
  r.probed = (e->flags & kTtProbed) != 0;
  r.probe_high = (e->flags & kTtProbeHigh) != 0;
  return r;
}

// A tablebase probe of the node's position, where the configuration probes;
// true with the score in `out` (relative to the root for decisive results
// where mates are scored by ply, else as probed).
template <class Cfg>
inline bool probe_node_tablebases(i32 depth, bool mate_class_bound, i32 ply, i32& out) {
  if constexpr (Cfg::kTbProbe == TbProbeRule::kNever) {
    return false;
  } else {
    const u32 men = static_cast<u32>(__builtin_popcountll(current_position.occupied));
    const bool bound_asks = Cfg::kTbProbe == TbProbeRule::kDepthOrMateBound && mate_class_bound;
    if (!(depth >= search_settings.tb_probe_depth || bound_asks)) return false;
    if (men > search_status.tb_probe_men) return false;
    Score s;
    if (!probe_tablebases(&s)) return false;
    search_status.tb_hits += 1;
    search_status.result_move = 0;
    store_exact<Cfg>(0, depth, s, true);
    if constexpr (Cfg::kMateByPly) {
      if (s > kTbScoreThreshold) s -= ply;
      else if (s < -kTbScoreThreshold) s += ply;
    }
    out = s;
    return true;
  }
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
  if ((Cfg::kFiftyMoveRule && pos.state.fifty >= 100) || is_repetition()) return kDrawScore;
  if (p >= kMaxSearchPly) return rec->static_eval;

  // 2. Mate distance.
  if constexpr (Cfg::kMateByPly) {
    if (mated_at(p + 2) >= beta) return mated_at(p + 2);
    if (mate_at(p + 1) < beta) return mate_at(p + 1);
  }

  // 3. Hash probe.
  const ZeroWindowProbe h = probe_zero_window<Cfg>(p);
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
    if (probe_node_tablebases<Cfg>(depth, is_mate_class(beta), p, s)) return s;
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
  const bool null_allowed = !probe_high && e - 10 >= beta && !(f & kNodeNoNull) && null_move_material_for<Cfg>();
  const NodeFlags null_flags = null_move_child_flags(f);

  // 6. Probe block: null move and the shallow PV probe search.
  const bool probe_block = !probed && plies - st.iteration + st.last_iteration >= 10;
  if (probe_block) {
    if (null_allowed) {
      NullMoveUndo nu;
      make_null_move_for<Cfg>(nu);
      enter_null_child(*rec, *child);
      rec->current_move = 0;
      const i32 nd = depth - 8;
      const i32 score = nd / 2 > 0 ? -search_zero_window<Cfg>(1 - beta, nd, child, null_flags)
                                   : -qsearch<Cfg>(-beta, 1 - beta, 0, child);
      unmake_null_move(nu);
      if (score >= beta) {
        store_lower_nomove<Cfg>(depth, to_tt<Cfg>(score, p), (f & kNodeType) ? 0 : kTtLowerTypeClear);
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
    make_null_move_for<Cfg>(nu);
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
      store_lower_nomove<Cfg>(depth, to_tt<Cfg>(score, p),
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

  while (const SearchMove m = next_move<B>(picker, *rec, Cfg::quiet_order())) {
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
      const i32 nd = depth - 2 + (extensions_apply<Cfg>() ? 1 : 0);
      score = -search_zero_window_in_check<Cfg>(1 - beta, nd, child, child_flags(f));
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
        store_lower<Cfg>(static_cast<u16>(m), depth, to_tt<Cfg>(score, p),
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
  store_upper<Cfg>(depth, to_tt<Cfg>(best, p),
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
  if constexpr (Cfg::kMateByPly) {
    if (mated_at(p) >= beta) return mated_at(p);
    if (mate_at(p + 1) < beta) return mate_at(p + 1);
  }

  const ZeroWindowProbe h = probe_zero_window<Cfg>(p);
  // The cut rules of the node out of check; a lower cut keeps result_move.
  if (h.lower_cuts(depth, beta, f)) return h.lower;
  if (h.upper_cuts(depth, beta, f)) return h.upper;
  {
    i32 s;
    if (probe_node_tablebases<Cfg>(depth, is_mate_class(beta), p, s)) return s;
  }

  MovePair list[kMaxMovePairs];
  const u32 n = collect_evasions<B>(list, ~rec->attacks_them);
  if (n >= 2) score_and_sort_moves(Cfg::history(), *rec, list, list + n - 1, h.move);

  if constexpr (Cfg::kFiftyMoveRule) {
    if (pos.state.fifty > 100) return kDrawScore;
    if (pos.state.fifty == 100 && n > 0) return kDrawScore;
  }

  const bool type_set = (f & kNodeType) != 0;
  i32 best = mated_score<Cfg>(p);
  if (n == 0) {
    store_upper<Cfg>(depth, to_tt<Cfg>(best, p), type_set ? kTtUpperTypeSet : 0);
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
    i32 nd = depth - 2 + (child_check && extensions_apply<Cfg>() ? 1 : 0);
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
        store_lower<Cfg>(static_cast<u16>(m), depth, to_tt<Cfg>(score, p), type_set ? 0 : kTtLowerTypeClear);
        return score;
      }
    }
    f = static_cast<u8>(f & ~kNodeMayDeepen);
  }
  store_upper<Cfg>(depth, to_tt<Cfg>(best, p), type_set ? kTtUpperTypeSet : 0);
  return best;
}

}  // namespace orvex
