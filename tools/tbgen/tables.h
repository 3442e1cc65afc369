// Writes the solved three-man classes as table files, numbered by the
// classes' index functions.
#pragma once
#include <string>
#include <vector>

#include "tools/tbgen/solver.h"

namespace orvex::tbgen {

// The class number of a solved class in the descriptor table.
int class_id(Man man);

// The one-byte table of a class and side to move (0 the side with the man).
// `conflicts` counts numbers that two positions of different results share.
std::vector<u8> build_table(const Solved& s, int side, u64* conflicts);

// Writes every table of `classes` into `dir`: raw ("kqk.nbw", "kqk.nbb") or
// compressed ("kqk.nbw.emd").  False, with a message in `error`, when a file
// cannot be written or a table is inconsistent.
bool write_tables(const std::vector<Solved>& classes, const std::string& dir, bool compressed, std::string* error);

}  // namespace orvex::tbgen
