// Progress output of the root: the line walk through the table, the number
// fields of the progress lines and the shown score.
#pragma once
#include <cinttypes>
#include <cstdio>

#include "platform/platform.h"
#include "position/legality.h"
#include "position/move_text.h"
#include "search/search.h"
#include "search/search_rules.h"
#include "search/limits.h"
#include "search/settings.h"

namespace orvex {


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

// `tb_hits_field`: the configuration's lines carry "tbhits".
inline ProgressFields progress_fields(bool tb_hits_field) {
  ProgressFields f;
  const SearchStatus& st = search_status;
  const u32 elapsed = shown_time(platform::tick_count(), st.start_tick);
  f.nodes = shown_nodes();
  f.time[0] = f.nps[0] = f.tbhits[0] = 0;
  if (search_settings.output_mode == kOutputVerbose) {
    std::snprintf(f.time, sizeof f.time, "time %" PRIu32 " ", elapsed);
    std::snprintf(f.nps, sizeof f.nps, "nps %" PRIu64 " ", shown_nps(f.nodes, elapsed));
  }
  const u64 hits = tb_hits_field ? shown_tb_hits(st.tb_hits, f.nodes) : 0;
  if (hits != 0) std::snprintf(f.tbhits, sizeof f.tbhits, "tbhits %" PRIu64 " ", hits);
  return f;
}

// The shown score of a progress or final line: "cp" or "mate" and the
// number.  Configurations without mate text show centipawns throughout, and
// those with the draw-score clamp push 0..2 to 3 and -2..-1 to -3 in their
// progress lines unless Display Draw Scores is on (shown_value); the final
// line shows the score as it is (final_value).
template <class Cfg>
inline const char* shown_unit(Score s) {
  if constexpr (Cfg::kScoreMateText) return score_unit(s);
  else return "cp";
}
template <class Cfg>
inline i32 shown_value(Score s) {
  if constexpr (Cfg::kScoreMateText) {
    return shown_score(s, display_scale);
  } else {
    i32 c = centipawns(s, display_scale);
    if constexpr (Cfg::kDrawScoreClamp) {
      if (!search_settings.display_draw_scores) {
        if (c == -2 || c == -1) c = -3;
        else if (c >= 0 && c <= 2) c = 3;
      }
    }
    return c;
  }
}
template <class Cfg>
inline i32 final_value(Score s) {
  if constexpr (Cfg::kScoreMateText) return shown_score(s, display_scale);
  else return centipawns(s, display_scale);
}

}  // namespace orvex
