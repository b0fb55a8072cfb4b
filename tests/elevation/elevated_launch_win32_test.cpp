// The shell path itself, under Wine: shell32 loaded from the system folder, ShellExecuteExA
// with "runas", the wait and the program's exit code. Wine starts the program without a consent prompt.
#include "host/win32/elevated_launch.h"

#include "host/elevation.h"

#include <gtest/gtest.h>

#include <string>

TEST(ElevatedLaunchWin32, StartsThroughTheShellAndWaitsAndStartsNothingElse) {
  char folder[MAX_PATH];
  const std::string cmd = std::string(folder, GetSystemDirectoryA(folder, MAX_PATH)) + "\\cmd.exe";
  const std::string marker = std::string(folder, GetTempPathA(MAX_PATH, folder)) + "sfx-elevated-marker.txt";
  DeleteFileA(marker.c_str());
  // The program writes its marker only after a pause: present after the call means waited.
  const std::string command = "\"" + cmd + "\" /c ping -n 2 127.0.0.1 >NUL & echo done>\"" + marker + "\" & exit 7";
  int exitCode = 0;
  ASSERT_TRUE(LaunchElevatedIfRequired(kErrorElevationRequired, command, true, true, exitCode));
  EXPECT_NE(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(exitCode, 7);
  DeleteFileA(marker.c_str());

  EXPECT_FALSE(LaunchElevatedIfRequired(ERROR_FILE_NOT_FOUND, cmd + " /c exit", true, true, exitCode));
  EXPECT_FALSE(LaunchElevatedIfRequired(kErrorElevationRequired, "\"C:\\no such folder\\setup.exe\" /q", true, true, exitCode));
}
