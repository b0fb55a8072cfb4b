#include <windows.h>

#include "host/win32/win32_file_system.h"

namespace win32_files {

namespace {

constexpr DWORD kInherited = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

// Everything lives as long as the process: the descriptor points into these.
struct PrivateSecurity {
  BYTE user[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
  BYTE system[SECURITY_MAX_SID_SIZE];
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  BYTE acl[sizeof(ACL) + 3 * (sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE)];
  SECURITY_DESCRIPTOR descriptor;
  SECURITY_ATTRIBUTES attributes;
};

PrivateSecurity security;

bool ReadProcessUser(PSID& user) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  DWORD length = 0;
  const BOOL read = GetTokenInformation(token, TokenUser, security.user, sizeof security.user, &length);
  CloseHandle(token);
  user = reinterpret_cast<TOKEN_USER*>(security.user)->User.Sid;
  return read != FALSE;
}

bool WellKnown(WELL_KNOWN_SID_TYPE type, BYTE* sid) {
  DWORD length = SECURITY_MAX_SID_SIZE;
  return CreateWellKnownSid(type, nullptr, sid, &length) != FALSE;
}

bool Build() {
  PSID user = nullptr;
  ACL* acl = reinterpret_cast<ACL*>(security.acl);
  if (!ReadProcessUser(user) || !WellKnown(WinLocalSystemSid, security.system) ||
      !WellKnown(WinBuiltinAdministratorsSid, security.administrators) ||
      !InitializeAcl(acl, sizeof security.acl, ACL_REVISION))
    return false;
  for (PSID sid : {user, PSID(security.system), PSID(security.administrators)})
    if (!AddAccessAllowedAceEx(acl, ACL_REVISION, kInherited, FILE_ALL_ACCESS, sid)) return false;
  SECURITY_DESCRIPTOR* descriptor = &security.descriptor;
  if (!InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorOwner(descriptor, user, FALSE) || !SetSecurityDescriptorDacl(descriptor, TRUE, acl, FALSE) ||
      !SetSecurityDescriptorControl(descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
    return false;
  security.attributes = {sizeof(SECURITY_ATTRIBUTES), descriptor, FALSE};
  return true;
}

}  // namespace

SECURITY_ATTRIBUTES* PrivateFolderSecurity() {
  if (security.attributes.nLength == 0 && !Build()) return nullptr;
  return &security.attributes;
}

}  // namespace win32_files
