#include "configs/choice.h"

#include "search/limits.h"

namespace orvex {

const char* search_config_tag(SearchConfig c) {
  static constexpr const char* kTags[kSearchConfigTotal] = {
      "general",         "pawn_ending",       "bishop_ending",      "bishop_vs_knight_ending",
      "knight_vs_bishop_ending", "knight_ending", "queen_ending",   "rook_ending",
      "rook_bishop_ending", "rook_knight_ending", "castling_rights", "mixed",
      "worker"};
  return c < kSearchConfigTotal ? kTags[c] : "?";
}

bool is_general_request(const Position& root, const ConfigRequest& req) {
  if (req.multipv > 1) return true;
  if (req.infinite && !req.ponder) return true;
  if (req.depth_limit < kNoDepthLimit) return true;
  if (req.node_limit < kNoNodeLimit) return true;
  if (req.mate_limit > 0) return true;
  if (root.state.fifty >= 65) return true;
  if (req.score_count >= 3 && req.score_history) {
    bool decisive = true;
    for (int i = 0; i < 3; ++i) {
      const i32 s = req.score_history[i];
      if (s > -400 && s < 400) decisive = false;
    }
    if (decisive) return true;
  }
  return false;
}

SearchConfig choose_search_config(const Position& root, const ConfigRequest& req) {
  if (!req.is_master) return kConfigWorker;
  if (is_general_request(root, req)) return kConfigGeneral;
  if (root.state.castling != 0) return kConfigCastlingRights;

  auto pieces = [&root](PieceCode white_code) {
    return root.piece_bb[white_code - 2] | root.piece_bb[white_code + 1 - 2];
  };
  const u64 white_knights = root.piece_bb[kWhiteKnight - 2], black_knights = root.piece_bb[kWhiteKnight + 1 - 2];
  const u64 white_bishops = root.piece_bb[kWhiteBishop - 2], black_bishops = root.piece_bb[kWhiteBishop + 1 - 2];
  const u64 knights = white_knights | black_knights;
  const u64 bishops = white_bishops | black_bishops;
  const u64 rooks = pieces(kWhiteRook);
  const u64 queens = pieces(kWhiteQueen);
  const u32 men = static_cast<u32>(__builtin_popcountll(root.occupied));
  const bool few_men = static_cast<u64>(men) <= static_cast<u64>(req.tb_max_men) + 4;
  const SearchConfig leftover = few_men ? kConfigGeneral : kConfigMixed;

  if (queens) return (rooks | bishops | knights) ? leftover : kConfigQueenEnding;
  if (!rooks) {
    if (knights) {
      if (!bishops) return kConfigKnightEnding;
      if (!white_knights && !black_bishops) return kConfigBishopVsKnightEnding;
      if (!white_bishops && !black_knights) return kConfigKnightVsBishopEnding;
      return leftover;
    }
    return bishops ? kConfigBishopEnding : kConfigPawnEnding;
  }
  if (!knights) return bishops ? kConfigRookBishopEnding : kConfigRookEnding;
  return bishops ? leftover : kConfigRookKnightEnding;
}

}  // namespace orvex
