// sfxpack: builds, inspects, tests, unpacks and re-stubs self-extracting installers.
#include <cstdio>
#include <cstring>

#include "host/platform.h"
#include "tools/sfxpack/cli/command_support.h"
#include "tools/sfxpack/cli/commands.h"
#include "tools/sfxpack/platform/tool_platform.h"

#ifndef SFXPACK_VERSION
#define SFXPACK_VERSION "0.0"
#endif

namespace {

const char kMainUsage[] =
    "Usage: sfxpack COMMAND [options] ...\n"
    "\n"
    "Commands:\n"
    "  create -o OUT [options] PATH...   pack files and folders into an installer\n"
    "  list FILE                         list the members of an installer\n"
    "  test FILE                         check every member of an installer\n"
    "  extract FILE [-C DIR] [--force]   unpack an installer without running it\n"
    "  restub FILE --stub NEW -o OUT     put an installer's archive behind another stub\n"
    "  decode-stream, encode-stream      work on single compressed member streams\n"
    "\n"
    "'sfxpack COMMAND --help' describes a command. Exit codes: 0 success, 1 failure,\n"
    "2 wrong usage.\n";

struct TCommand {
  const char* name;
  int (*run)(const Arguments&);
};

const TCommand kCommands[] = {
    {"create", RunCreateCommand},          {"list", RunListCommand},
    {"test", RunTestCommand},              {"extract", RunExtractCommand},
    {"restub", RunRestubCommand},          {"decode-stream", RunDecodeStreamCommand},
    {"encode-stream", RunEncodeStreamCommand},
};

}  // namespace

int main(int argc, char** argv) {
  InitHostServices();
  InitToolPlatform();
  const Arguments words = ToolArguments(argc, argv);
  if (words.empty()) {
    std::fputs(kMainUsage, stderr);
    return kExitUsage;
  }
  const std::string& word = words[0];
  if (word == "--help" || word == "-h" || word == "help") {
    std::fputs(kMainUsage, stdout);
    return kExitSuccess;
  }
  if (word == "--version") {
    std::printf("sfxpack %s\n", SFXPACK_VERSION);
    return kExitSuccess;
  }
  for (const TCommand& command : kCommands) {
    if (word == command.name) return command.run(Arguments(words.begin() + 1, words.end()));
  }
  std::fprintf(stderr, "sfxpack: unknown command '%s'\nTry 'sfxpack --help'.\n", word.c_str());
  return kExitUsage;
}
