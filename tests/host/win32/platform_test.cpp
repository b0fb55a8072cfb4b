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

std::string SidText(PSID sid) {
  char* text = nullptr;
  if (!ConvertSidToStringSidA(sid, &text)) return "?";
  const std::string result = text;
  LocalFree(text);
  return result;
}

std::string Me() {
  HANDLE token = nullptr;
  BYTE user[512];
  DWORD length = 0;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return "";
  GetTokenInformation(token, TokenUser, user, sizeof user, &length);
  CloseHandle(token);
  return SidText(reinterpret_cast<TOKEN_USER*>(user)->User.Sid);
}

// The owner, whether the access list is protected, and the SIDs it grants full access to
// (handed on to what is created inside).
struct Grants {
  std::string owner;
  bool isProtected = false;
  std::set<std::string> full, other;
};

Grants ReadGrants(PSECURITY_DESCRIPTOR descriptor) {
  Grants g;
  PSID owner = nullptr;
  BOOL defaulted = FALSE, present = FALSE;
  PACL dacl = nullptr;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorOwner(descriptor, &owner, &defaulted);
  GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
  GetSecurityDescriptorControl(descriptor, &control, &revision);
  g.owner = owner ? SidText(owner) : "";
  g.isProtected = (control & SE_DACL_PROTECTED) != 0;
  char* sddl = nullptr;
  if (ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1,
                                                           OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &sddl, nullptr))
    std::cout << "security descriptor: " << sddl << "\n", LocalFree(sddl);
  for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace))) continue;
    const bool full = ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE && (ace->Mask & FILE_ALL_ACCESS) == FILE_ALL_ACCESS &&
                      (ace->Header.AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE)) == (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    (full ? g.full : g.other).insert(SidText(&ace->SidStart));
  }
  return g;
}

// A private folder is created with a descriptor that names this process's user as its owner,
// protects its access list from what the temporary folder would pass down, and grants the
// user, SYSTEM (S-1-5-18) and the Administrators (S-1-5-32-544) alone. The folder as the
// system then reports it belongs to the user and grants nobody else but SYSTEM and the
// Administrators (Wine keeps only what the Unix mode can hold). A name that exists is refused.
TEST(Win32Platform, PrivateFolderIsOpenOnlyToTheUserSystemAndAdministrators) {
  const std::string me = Me(), path = TempDirectory() + "sfx-private-test";
  const std::set<std::string> allowed{me, "S-1-5-18", "S-1-5-32-544"};
  RemoveFolder(path);
  ASSERT_TRUE(MakePrivateDirectory(path));
  EXPECT_FALSE(MakePrivateDirectory(path));
  EXPECT_EQ(CurrentFileSystem().LastError(), kErrorAlreadyExists);

  const Grants made = ReadGrants(win32_files::PrivateFolderSecurity()->lpSecurityDescriptor);
  EXPECT_EQ(made.owner, me);
  EXPECT_TRUE(made.isProtected);
  EXPECT_EQ(made.full, allowed);
  EXPECT_EQ(made.other, std::set<std::string>{});

  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, nullptr, nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  const Grants kept = ReadGrants(descriptor);
  LocalFree(descriptor);
  EXPECT_EQ(kept.owner, me);
  EXPECT_TRUE(kept.full.count(me));
  for (const std::string& sid : kept.full) EXPECT_TRUE(allowed.count(sid)) << sid;
  for (const std::string& sid : kept.other) EXPECT_TRUE(allowed.count(sid)) << sid;
  EXPECT_TRUE(RemoveFolder(path));
}

}  // namespace
