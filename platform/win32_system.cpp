#include "platform/win32_platform.h"

#include "common/win32_handles.h"

namespace qm::platform {

std::uint32_t CWin32System::GetLastError() {
  return ::GetLastError();
}

void CWin32System::SetLastError(std::uint32_t code) {
  ::SetLastError(code);
}

std::uint32_t CWin32System::FormatMessage(std::uint32_t flags, std::uint32_t messageId,
                                          std::uint32_t languageId, char** text) {
  // With FORMAT_MESSAGE_ALLOCATE_BUFFER the buffer argument receives the block's address.
  return ::FormatMessageA(flags, nullptr, messageId, languageId, reinterpret_cast<LPSTR>(text), 0,
                          nullptr);
}

void CWin32System::FreeMessageText(char* text) {
  ::LocalFree(text);
}

void* CWin32System::GlobalAlloc(std::size_t bytes) {
  return ::GlobalAlloc(GMEM_FIXED, bytes);
}

void CWin32System::GlobalFree(void* block) {
  ::GlobalFree(block);
}

std::uint32_t CWin32System::GetModuleFileName(char* buffer, std::uint32_t capacity) {
  return ::GetModuleFileNameA(nullptr, buffer, capacity);
}

void CWin32System::Sleep(std::uint32_t milliseconds) {
  ::Sleep(milliseconds);
}

bool CWin32System::IsElevated() {
  // Membership that counts: with a filtered token the administrators' group is deny-only.
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID pAdmins = nullptr;
  if (!::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &pAdmins)) {
    return false;
  }
  BOOL bMember = FALSE;
  if (!::CheckTokenMembership(nullptr, pAdmins, &bMember)) bMember = FALSE;
  ::FreeSid(pAdmins);
  return bMember != FALSE;
}

bool CWin32System::FileExists(const char* path) {
  const DWORD dwAttributes = ::GetFileAttributesA(path);
  return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool CWin32System::EnableShutdownPrivilege() {
  HANDLE hRaw = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &hRaw)) {
    return false;
  }
  const unique_handle token(hRaw);
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!::LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid)) {
    return false;
  }
  // Succeeds also when the token does not hold the privilege, saying so in the last error.
  if (!::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr)) return false;
  return ::GetLastError() != ERROR_NOT_ALL_ASSIGNED;
}

}  // namespace qm::platform
