// vexa: the command-line tool for movies: inspect, decode and encode.
#include "tools/commands.h"

int main(int argc, char** argv) { return VexaMain(argc, argv); }
