// orvex-larkspire: the second edition's program entry.
#include "larkspire/entry.h"

int main(int argc, char** argv) { orvex::larkspire::main(argc, argv); }
