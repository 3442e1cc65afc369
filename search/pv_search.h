// The PV search: a full-window node with internal deepening, extensions of
// forcing moves and, inside a probe search, capture offsets.
#pragma once
#include <algorithm>

#include "platform/platform.h"
#include "position/move_picker.h"
#include "position/move_text.h"
#include "position/see.h"
#include "search/qsearch.h"
#include "search/search.h"
#include "search/search_rules.h"
#include "search/zero_window.h"
#include "search/limits.h"
#include "search/settings.h"
#include "search/host.h"

namespace orvex {

// Material value of a captured piece inside the probe search: its exchange value.
inline i32 probe_capture_value(PieceCode captured) { return captured < 14 ? see_value[captured] : 0; }

// Whether a PV node at `ply` of `depth` uses a stored bound of depth byte
// `bound_depth` (bit 7 marks a mate-class score).  With Preserve Analysis on:
// any bound deeper than the node and of depth 20 or more.  Mate-class bounds
// (depth 128 and more) also without it, below the root's children: the
// zero-window searches cut on them at every depth, and no store of an
// ordinary depth can replace them, so a PV node that ignored one would find
// each scout it ends failing high again in the full-window re-search, below
// which the same happens again; a table full of them (a forced ending
// searched before) then makes the re-searches grow without end.  A child of
// the root (ply 1) searches its replies all the same, one level of such
// re-searches and no more: a stored mate holds for the position, not for the
// game's path to it, and a reply that repeats a position of the game is a
// draw that the mate would hide.  The bounds come through stored_bounds,
// which both node kinds read alike and which drops the mates that carry no
// distance.
inline bool trusted_pv_bound(i32 bound_depth, i32 depth, bool preserve_analysis, i32 ply) {
  if (bound_depth <= depth) return false;
  return ((bound_depth & kTtMateClassDepth) != 0 && ply != 1) || (preserve_analysis && bound_depth >= 20);
}

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
  if (Cfg::kShowLines && p == 6 && depth >= 12 && opt.show_currline && opt.output_mode <= kOutputNormal) {
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
  if (Cfg::kFiftyMoveRule && pos.state.fifty >= 100) return kDrawScore;
  if (is_repetition()) return (p & 1) ? Cfg::contempt() : -Cfg::contempt();

  // 5. Mate distance.
  if constexpr (Cfg::kMateByPly) {
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

  // 6, 7. Hash entry; with Preserve Analysis its deep bounds are trusted,
  // and its mate-class bounds below the root's children always (see
  // trusted_pv_bound).
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
    if constexpr (Cfg::kPreserveAnalysis) {
      const bool preserve = opt.preserve_analysis;
      const StoredBounds bounds = stored_bounds<Cfg>(entry, p);
      const i32 lower = bounds.lower;
      if (trusted_pv_bound(bounds.lower_depth, depth, preserve, p) && lower >= alpha &&
          !(entry.flags & kTtLowerTypeClear)) {
        alpha = lower;
        best = lower;
        if (lower >= beta) {
          st.result_move = entry.move;
          return lower;
        }
      }
      const i32 upper = bounds.upper;
      if (trusted_pv_bound(bounds.upper_depth, depth, preserve, p) && upper <= beta &&
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
    if (probe_node_tablebases<Cfg>(depth, alpha >= kMateThreshold || beta <= -kMateThreshold, p, s)) return s;
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
    start_evasion_picker<B>(picker);
  } else {
    start_picker(picker, hash_move);
  }
  u32 best_move = 0;
  PlyRecord* child = rec + 1;

  while (const SearchMove m = next_move<B>(picker, *rec, Cfg::quiet_order())) {
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
    if (!probing && extensions_apply<Cfg>()) {
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
            store_lower<Cfg>(static_cast<u16>(m), depth, to_tt<Cfg>(score, p),
                           static_cast<u8>((probe_high ? kTtProbeHigh : 0) | (probed ? kTtProbed : 0)));
          return std::min(score, cap);
        }
      }
    }
  }

  // 13.
  st.result_move = best_move;
  if (best == kNoMoveScore) return in_check ? mated_score<Cfg>(p) : kDrawScore;
  if (best_move != 0) {
    if (is_quiet_for_killers(best_move, pos)) update_killers_and_history(Cfg::history(), best_move, depth, *rec);
    if (!probing) store_exact<Cfg>(static_cast<u16>(best_move), depth, to_tt<Cfg>(best, p));
    return std::min(best, cap);
  }
  if (!probing) store_upper<Cfg>(depth, to_tt<Cfg>(best, p), 0);
  return std::min(best, cap);
}

}  // namespace orvex
