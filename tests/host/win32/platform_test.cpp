#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <iostream>
#include <set>

#include "host/convert.h"
#include "host/files.h"
#include "host/paths.h"
#include "host/platform.h"
#include "host/win32/win32_file_system.h"

namespace {

TEST(Win32Platform, SystemFolders) {
  const std::string temp = TempDirectory();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  EXPECT_TRUE(IsDirectory(temp));
  EXPECT_TRUE(IsDirectory(WindowsDirectory()));
  EXPECT_TRUE(IsDirectory(SystemDirectory()));
}

// The directory search takes the path as a pattern.
TEST(Win32Platform, ModuleFileNameIsThisProgramAndFileIsPresentMatchesWildcards) {
  const std::string program = ModuleFileName();
  EXPECT_EQ(UpperAscii(FileNameOf(program)), "TEST_HOST.EXE");
  EXPECT_TRUE(FileIsPresent(program));
  EXPECT_TRUE(FileIsPresent(DirectoryOf(program) + "test_h?st.*"));
  EXPECT_FALSE(FileIsPresent(DirectoryOf(program) + "*.no-such-extension"));
}

// No string resource means no offset text; the separator is one character of the locale.
TEST(Win32Platform, OffsetTextAndDecimalSeparator) {
  EXPECT_EQ(ArchiveOffsetText(), "");
  InitHostServices();
  EXPECT_NE(DecimalSeparator(), '\0');
}

// A descriptor as text: its owner, and its access list's entries, one a line ("P" first
// when the list is protected), e.g. "(A;OICI;FA;;;SY)": allowed, handed on to files and folders
// inside, full access, SYSTEM.
std::string Described(PSECURITY_DESCRIPTOR descriptor) {
  char* text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1,
                                                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, nullptr))
    return "?";
  std::string described = text;
  LocalFree(text);
  std::cout << "security descriptor: " << described << "\n";
  for (size_t at = described.find('('); at != std::string::npos; at = described.find('(', at + 2))
    described.insert(at, "\n");
  return described;
}

// A private folder is created with a descriptor that names this process's user as owner,
// protects its list from what the temporary folder would pass down, and grants the user,
// SYSTEM and the Administrators alone. The folder as the system then reports it grants nobody
// else (Wine keeps only what the Unix mode holds: owner and SYSTEM). A name that exists is
// refused.
TEST(Win32Platform, PrivateFolderIsOpenOnlyToTheUserSystemAndAdministrators) {
  HANDLE token = nullptr;
  BYTE user[512];
  DWORD length = 0;
  char* me = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  ASSERT_TRUE(GetTokenInformation(token, TokenUser, user, sizeof user, &length));
  ASSERT_TRUE(ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &me));
  const std::string grant = "\n(A;OICI;FA;;;", owner = std::string("O:") + me + "D:";
  const std::set<std::string> allowed{grant + me + ")", grant + "SY)", grant + "BA)"};
  const std::string path = TempDirectory() + "sfx-private-test";
  RemoveFolder(path);
  ASSERT_TRUE(MakePrivateDirectory(path));
  EXPECT_FALSE(MakePrivateDirectory(path));
  EXPECT_EQ(CurrentFileSystem().LastError(), kErrorAlreadyExists);
  const std::string made = Described(win32_files::PrivateFolderSecurity()->lpSecurityDescriptor);
  EXPECT_EQ(made.substr(0, owner.size() + 1), owner + "P");
  std::set<std::string> granted;
  for (size_t at = made.find('\n'); at != std::string::npos; at = made.find('\n', at + 1))
    granted.insert(made.substr(at, made.find('\n', at + 1) - at));
  EXPECT_EQ(granted, allowed);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, nullptr, nullptr, &descriptor), static_cast<DWORD>(ERROR_SUCCESS));
  const std::string kept = Described(descriptor);
  EXPECT_EQ(kept.compare(0, owner.size(), owner), 0) << kept;
  for (size_t at = kept.find('\n'); at != std::string::npos; at = kept.find('\n', at + 1))
    EXPECT_TRUE(allowed.count(kept.substr(at, kept.find('\n', at + 1) - at))) << kept;
  LocalFree(descriptor);
  LocalFree(me);
  EXPECT_TRUE(RemoveFolder(path));
}

}  // namespace
