// The shell path itself, under Wine: shell32 loaded from the system folder, ShellExecuteExA
// with "runas", and the wait. Wine starts the program without a consent prompt.
#include "host/win32/elevated_launch.h"

#include "host/elevation.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string SystemFile(const char* name) {
  char folder[MAX_PATH];
  const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  return std::string(folder, length) + "\\" + name;
}

std::string TemporaryFile(const char* name) {
  char folder[MAX_PATH];
  const DWORD length = GetTempPathA(MAX_PATH, folder);
  return std::string(folder, length) + name;
}

}  // namespace

TEST(ElevatedLaunchWin32, StartsThroughTheShellAndWaits) {
  const std::string marker = TemporaryFile("sfx-elevated-marker.txt");
  DeleteFileA(marker.c_str());
  // The program writes its marker only after a pause: present after the call means waited.
  const std::string command = "\"" + SystemFile("cmd.exe") + "\" /c ping -n 2 127.0.0.1 >NUL & echo done>\"" + marker + "\"";
  ASSERT_TRUE(LaunchElevatedIfRequired(kErrorElevationRequired, command, true, true));
  EXPECT_NE(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES);
  DeleteFileA(marker.c_str());
}

TEST(ElevatedLaunchWin32, OtherFailuresAndMissingProgramsAreNotStarted) {
  EXPECT_FALSE(LaunchElevatedIfRequired(ERROR_FILE_NOT_FOUND, SystemFile("cmd.exe") + " /c exit", true, true));
  EXPECT_FALSE(LaunchElevatedIfRequired(kErrorElevationRequired,
                                        "\"C:\\no such folder\\setup.exe\" /q", true, true));
}
