// The second edition's static evaluation: the shared evaluation template with
// the edition's traits (material term scaled by 116/128 and the blend by
// 140/128, scores cut to tens, the draw-pattern test that ignores the
// favoured side's knights, rooks and queens, its own material table and lazy
// window, threat sets built in the same pass as the attack sets).
#pragma once
#include "larkspire/ply_record.h"
#include "search/evaluate.h"
#include "search/material.h"

namespace orvex::larkspire {

// The edition's lazy window (pawns of material_balance).
extern i32 lazy_low;
extern i32 lazy_high;

// The edition's material table: the main table with the draw-pattern bit set
// only for the material signatures listed in evaluate.cpp.
extern MaterialEntry edition_materials[kMaterialTableSize];

// Material index of a signature written as "white men/black men" besides the
// kings, with B, N, P for bishops, knights, pawns and "-" for none ("BPP/N").
u32 signature_index(const char* signature);
// The signatures whose material reaches the draw-pattern test.
extern const char* const kDrawPatternSignatures[42];

struct EditionEval : GeneralEval {
  static constexpr i32 kMaterialScale = 116;
  static constexpr i32 kFinalScale = 140;
  static constexpr bool kRoundToTen = true;
  static constexpr bool kDrawTestStrict = false;
  static constexpr bool kBuildThreats = true;
  static const MaterialEntry* materials() { return edition_materials; }
  static i32 lazy_low() { return larkspire::lazy_low; }
  static i32 lazy_high() { return larkspire::lazy_high; }
};

// Full evaluation of current_position into rec (attack and threat sets,
// static_eval); whether the side to move is in check.
bool evaluate(EditionPlyRecord& rec);
// Attack and threat sets only (threats_ready := 1); whether in check.
bool compute_attacks(EditionPlyRecord& rec);

}  // namespace orvex::larkspire
