#include <windows.h>
#include <sddl.h>

#include <string>

#include "host/win32/win32_file_system.h"

namespace win32_files {

namespace {

// Owned by the process's user; full access, handed on to everything inside, for that user,
// SYSTEM and the built-in Administrators; the access list protected (P) from what the folder
// above would pass down.
constexpr char kOwner[] = "O:";
constexpr char kProtectedList[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;";

SECURITY_ATTRIBUTES attributes;

// The user's SID as text, or empty when the process's token cannot be read. Its text is built
// once and kept, like the descriptor, for the life of the process.
std::string ProcessUser() {
  HANDLE token = nullptr;
  BYTE user[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
  DWORD length = 0;
  char* text = nullptr;
  std::string sid;
  const HANDLE self = reinterpret_cast<HANDLE>(-1);  // the current process, without a call
  if (!OpenProcessToken(self, TOKEN_QUERY, &token)) return sid;
  if (GetTokenInformation(token, TokenUser, user, sizeof user, &length) &&
      ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &text))
    sid = text;
  CloseHandle(token);
  return sid;
}

}  // namespace

// The descriptor lives as long as the process.
SECURITY_ATTRIBUTES* PrivateFolderSecurity() {
  if (attributes.lpSecurityDescriptor != nullptr) return &attributes;
  const std::string user = ProcessUser();
  if (user.empty()) return nullptr;
  const std::string text = kOwner + user + kProtectedList + user + ")";
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(text.c_str(), SDDL_REVISION_1,
                                                            &attributes.lpSecurityDescriptor, nullptr))
    return nullptr;
  attributes.nLength = sizeof attributes;
  return &attributes;
}

}  // namespace win32_files
