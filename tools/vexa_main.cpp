// vexa: the command-line tool for movies: inspect, decode and encode.
#include <cstdio>
#include <cstring>

#include "tools/commands.h"

namespace {

struct Command {
  const char* name;
  int (*run)(int argc, char** argv);
  const char* summary;
};

const Command kCommands[] = {
    {"info", CommandInfo, "print a movie's header, tracks, key frames and data rates"},
    {"decode", CommandDecode, "decode a movie's pictures to Y4M, raw YUV, surface bytes or PNG"},
    {"encode", CommandEncode, "encode Y4M or PNG pictures (and WAV sound) into a movie"},
};

void PrintUsage(FILE* out) {
  std::fprintf(out, "usage: vexa COMMAND [options]\n\ncommands:\n");
  for (const Command& c : kCommands) std::fprintf(out, "  %-8s %s\n", c.name, c.summary);
  std::fprintf(out, "\n'vexa COMMAND --help' explains a command's options.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage(stderr);
    return 2;
  }
  if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
    PrintUsage(stdout);
    return 0;
  }
  for (const Command& c : kCommands)
    if (!std::strcmp(argv[1], c.name)) return c.run(argc - 2, argv + 2);
  std::fprintf(stderr, "vexa: unknown command '%s'\n", argv[1]);
  PrintUsage(stderr);
  return 2;
}
