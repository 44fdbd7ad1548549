// The vexa tool's command table and its top level.
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

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

int RunCommand(int argc, char** argv) {
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

}  // namespace

int VexaMain(int argc, char** argv) {
  // The commands check sizes before they allocate and use the non-throwing file-system calls;
  // this is the last resort, so that nothing the standard library throws ends in an abort.
  try {
    return RunCommand(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "\nvexa: out of memory\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "\nvexa: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "\nvexa: unexpected failure\n");
  }
  return 1;
}
