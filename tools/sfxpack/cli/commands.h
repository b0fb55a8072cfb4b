// The subcommands of sfxpack. Each takes the words after its name and returns the process
// exit code: 0 success, 1 failure, 2 usage error. Errors go to stderr naming the file and
// the reason; stdout carries only what was asked for.
#pragma once

#include <string>
#include <vector>

using Arguments = std::vector<std::string>;

int RunCreateCommand(const Arguments& args);
int RunListCommand(const Arguments& args);
int RunTestCommand(const Arguments& args);
int RunExtractCommand(const Arguments& args);
int RunRestubCommand(const Arguments& args);
int RunDecodeStreamCommand(const Arguments& args);
int RunEncodeStreamCommand(const Arguments& args);
