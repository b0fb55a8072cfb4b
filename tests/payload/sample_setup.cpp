// The program that the sample installers start: it shows what the stub handed it, its
// arguments and the files unpacked beside it, on stdout and in a report file, so the demo can
// show it and the end-to-end tests can check it after the stub has cleaned up.
//
//   sample_setup [--report FILE] [--wait-for FILE] [args...]
//
// Without --report the report goes to "sample_setup.report" beside the program; relative FILEs
// are taken from the program's folder. --wait-for creates FILE.waiting and waits (at most 60 s)
// until FILE exists, so a test can look at the unpacked files while the stub still waits for
// the program.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Two folder levels (depth 0 and 1) are enough for the sample's files and keep a crowded
// temporary folder from flooding the output.
std::vector<std::string> FilesBeside(const fs::path& folder, const fs::path& self, const fs::path& report) {
  std::vector<std::string> lines;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(folder, error); !error && it != fs::recursive_directory_iterator();
       it.increment(error)) {
    if (it.depth() >= 1) it.disable_recursion_pending();
    if (!it->is_regular_file(error) || it->path() == self || it->path() == report) continue;
    const std::string name = it->path().lexically_relative(folder).generic_string();
    lines.push_back("file: " + name + " " + std::to_string(it->file_size(error)));
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

void WaitFor(const fs::path& path) {
  if (FILE* marker = std::fopen((path.string() + ".waiting").c_str(), "w")) std::fclose(marker);
  for (int i = 0; i < 600 && !fs::exists(path); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path self = fs::absolute(argv[0]);
  const fs::path folder = self.parent_path();
  fs::path report = folder / "sample_setup.report";
  std::vector<std::string> lines{"sample_setup started"};
  for (int i = 0; i < argc; ++i) lines.push_back("arg " + std::to_string(i) + ": " + argv[i]);
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string(argv[i]) == "--report") report = folder / argv[i + 1];
    if (std::string(argv[i]) == "--wait-for") WaitFor(folder / argv[i + 1]);
  }
  for (const std::string& line : FilesBeside(folder, self, report)) lines.push_back(line);
  lines.push_back("sample_setup done");

  FILE* out = std::fopen(report.string().c_str(), "w");
  for (const std::string& line : lines) {
    std::printf("%s\n", line.c_str());
    if (out) std::fprintf(out, "%s\n", line.c_str());
  }
  if (out) std::fclose(out);
  return 0;
}
