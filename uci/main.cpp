// The entry of the main engine.  Searches run on a stack of their own (see
// search/search.cpp), so the entry needs nothing beyond the process's stack.
#include "uci/engine.h"

int main(int argc, char** argv) { orvex::run_engine(argc, argv); }
