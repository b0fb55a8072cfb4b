// The program that the sample installers start: it shows what the stub handed it, its
// arguments and the files unpacked beside it, on stdout and in a report file, so the demo can
// show it and the end-to-end tests can check it after the stub has cleaned up.
//
//   sample_setup [--report FILE] [--wait-for FILE] [--exit N] [--child-reads FILE] [args...]
//
// Without --report the report goes to "sample_setup.report" beside the program; relative FILEs
// are taken from the program's folder. --wait-for creates FILE.waiting and waits (at most 60 s)
// until FILE exists, so a test can look at the unpacked files while the stub still waits for
// the program. --exit ends with exit code N. --child-reads starts a second process of this
// program and ends at once; that one reads FILE two seconds later and writes what it found to
// child.txt beside the program: as a setup that hands over to another process does.
// Arguments and the report are UTF-8 (on Windows read as wide characters).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

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
    const std::string name = it->path().lexically_relative(folder).generic_u8string();
    lines.push_back("file: " + name + " " + std::to_string(it->file_size(error)));
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

void WaitFor(const fs::path& path) {
  std::ofstream(fs::path(path).concat(".waiting"));
  for (int i = 0; i < 600 && !fs::exists(path); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

// Reports, two seconds on, whether `file` is still there: run by the second process.
int ReadLate(const fs::path& folder, const fs::path& file) {
  std::this_thread::sleep_for(std::chrono::seconds(2));
  std::error_code error;
  const auto size = fs::file_size(file, error);
  std::ofstream(folder / "child.txt", std::ios::binary) << "child read " << file.filename().u8string() << ": "
                                      << (error ? std::string("missing") : std::to_string(size)) << "\n";
  return 0;
}

#ifdef _WIN32
std::vector<std::string> Arguments(int, char**) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) {
    char text[4096];
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text, sizeof text, nullptr, nullptr);
    arguments.push_back(length > 0 ? text : "");
  }
  return arguments;
}

void StartSecond(const std::string& self, const std::string& file) {
  std::wstring line = L"\"" + fs::u8path(self).wstring() + L"\" --late-read \"" + fs::u8path(file).wstring() + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}
#else
std::vector<std::string> Arguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

// Returns once the second process runs this program's image (the pipe closes at its exec), so
// that the stub cannot delete the file before.
void StartSecond(const std::string& self, const std::string& file) {
  int started[2];
  if (pipe2(started, O_CLOEXEC) != 0) return;
  if (fork() == 0) {
    setsid();  // on its own, as a process that outlives the program does: no hang-up at its end
    execl(self.c_str(), self.c_str(), "--late-read", file.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(started[1]);
  char byte;
  while (read(started[0], &byte, 1) < 0 && errno == EINTR) {
  }
  close(started[0]);
}
#endif

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = Arguments(argc, argv);
  const fs::path self = fs::absolute(fs::u8path(args[0]));
  const fs::path folder = self.parent_path();
  if (args.size() == 3 && args[1] == "--late-read") return ReadLate(folder, folder / fs::u8path(args[2]));
  fs::path report = folder / "sample_setup.report";
  int exitCode = 0;
  std::vector<std::string> lines{"sample_setup started"};
  for (size_t i = 0; i < args.size(); ++i) lines.push_back("arg " + std::to_string(i) + ": " + args[i]);
  for (size_t i = 1; i + 1 < args.size(); ++i) {
    if (args[i] == "--report") report = folder / fs::u8path(args[i + 1]);
    if (args[i] == "--wait-for") WaitFor(folder / fs::u8path(args[i + 1]));
    if (args[i] == "--exit") exitCode = std::atoi(args[i + 1].c_str());
    if (args[i] == "--child-reads") StartSecond(self.u8string(), args[i + 1]);
  }
  for (const std::string& line : FilesBeside(folder, self, report)) lines.push_back(line);
  lines.push_back("sample_setup done");

  std::ofstream out(report, std::ios::binary);
  for (const std::string& line : lines) {
    std::printf("%s\n", line.c_str());
    out << line << "\n";
  }
  return exitCode;
}
