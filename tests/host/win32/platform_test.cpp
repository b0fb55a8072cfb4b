#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <iostream>

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

// A descriptor as text, e.g. "O:<owner>D:P(A;OICI;FA;;;SY)": owned by <owner>, its access list
// protected, SYSTEM allowed full access, handed on to files and folders inside.
std::string Described(PSECURITY_DESCRIPTOR descriptor) {
  char* text = nullptr;
  const SECURITY_INFORMATION parts = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1, parts, &text, nullptr)) return "?";
  const std::string described = text;
  LocalFree(text);
  std::cout << "security descriptor: " << described << "\n";
  return described;
}

// A private folder is created owned by this process's user, with a protected list granting
// the user, SYSTEM and the Administrators alone; the folder as the system then reports it
// grants nobody else (Wine keeps only what the Unix mode holds). A name that exists is refused.
TEST(Win32Platform, PrivateFolderIsOpenOnlyToTheUserSystemAndAdministrators) {
  HANDLE token = nullptr;
  BYTE user[512];
  DWORD length = 0;
  char* me = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  ASSERT_TRUE(GetTokenInformation(token, TokenUser, user, sizeof user, &length));
  ASSERT_TRUE(ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &me));
  const std::string owner = std::string("O:") + me + "D:", grant = "(A;OICI;FA;;;";
  const std::string path = TempDirectory() + "sfx-private-test";
  RemoveFolder(path);
  ASSERT_TRUE(MakePrivateDirectory(path));
  EXPECT_FALSE(MakePrivateDirectory(path));
  EXPECT_EQ(CurrentFileSystem().LastError(), kErrorAlreadyExists);
  EXPECT_EQ(Described(win32_files::PrivateFolderSecurity()->lpSecurityDescriptor),
            owner + "P" + grant + "SY)" + grant + "BA)" + grant + me + ")");
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, nullptr, nullptr, &descriptor), static_cast<DWORD>(ERROR_SUCCESS));
  std::string kept = Described(descriptor);
  EXPECT_EQ(kept.compare(0, owner.size(), owner), 0) << kept;
  for (const std::string& allowed : {grant + "SY)", grant + "BA)", grant + me + ")", std::string("P")})
    for (size_t at; (at = kept.find(allowed)) != std::string::npos;) kept.erase(at, allowed.size());
  EXPECT_EQ(kept, owner);  // nothing granted to anybody else
  LocalFree(descriptor);
  LocalFree(me);
  EXPECT_TRUE(RemoveFolder(path));
}

}  // namespace
