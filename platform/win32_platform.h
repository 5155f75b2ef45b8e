#pragma once
// The Win32 implementation of the service seam: each call goes to the API of the same name.

#include <windows.h>

#include "platform/account_rights.h"
#include "platform/platform.h"

// Again here: <windows.h> may have come after platform.h in this translation unit.
#undef OpenSCManager
#undef CreateService
#undef OpenService
#undef QueryServiceConfig
#undef FormatMessage
#undef GetModuleFileName
#undef StartService
#undef ChangeServiceConfig
#undef LookupAccountName

namespace qm::platform {

class CWin32ServiceManager : public IServiceManager {
 public:
  Handle OpenSCManager(const char* machine, const char* database, std::uint32_t access) override;
  Handle CreateService(Handle manager, const CreateServiceArgs& args) override;
  Handle OpenService(Handle manager, const char* name, std::uint32_t access) override;
  bool QueryServiceConfig(Handle service, void* block, std::uint32_t blockSize,
                          std::uint32_t* bytesNeeded, std::uint32_t* startType) override;
  bool ControlService(Handle service, std::uint32_t control, ServiceStatus* status) override;
  bool QueryServiceStatus(Handle service, ServiceStatus* status) override;
  bool QueryServiceStatusEx(Handle service, ServiceStatus* status) override;
  bool DeleteService(Handle service) override;
  bool CloseServiceHandle(Handle handle) override;
  bool StartService(Handle service) override;
  bool QueryConfig(Handle service, ServiceConfigInfo* info) override;
  bool ChangeServiceConfig(Handle service, const ChangeServiceArgs& args) override;
  bool QueryDescription(Handle service, char* buffer, std::uint32_t capacity) override;
  bool ChangeDescription(Handle service, const char* text) override;
  bool QueryDelayedAutoStart(Handle service, bool* delayed) override;
  bool ChangeDelayedAutoStart(Handle service, bool delayed) override;
  bool QueryPreshutdownTimeout(Handle service, std::uint32_t* timeoutMs) override;
  bool ChangePreshutdownTimeout(Handle service, std::uint32_t timeoutMs) override;
  bool QueryFailureActions(Handle service, FailureActions* actions) override;
  bool ChangeFailureActions(Handle service, const FailureActions& actions) override;
  bool ChangeFailureActionsFlag(Handle service, bool onErrorStops) override;
  bool EnumServices(Handle manager, IServiceListSink& sink) override;
};

class CWin32Registry : public IRegistry {
 public:
  long OpenKey(Handle root, const char* path, std::uint32_t options, std::uint32_t access,
               Handle* key) override;
  long CreateKey(Handle root, const char* path, const char* className, std::uint32_t options,
                 std::uint32_t access, Handle* key, std::uint32_t* disposition) override;
  long EnumKey(Handle key, std::uint32_t index, char* name, std::uint32_t* nameSize,
               char* className, std::uint32_t* classSize) override;
  long QueryValue(Handle key, const char* valueName, std::uint32_t* type, unsigned char* data,
                  std::uint32_t* dataSize) override;
  long SetValue(Handle key, const char* valueName, std::uint32_t type, const unsigned char* data,
                std::uint32_t dataSize) override;
  long CloseKey(Handle key) override;
  long DeleteValue(Handle key, const char* valueName) override;
};

class CWin32System : public ISystem {
 public:
  std::uint32_t GetLastError() override;
  void SetLastError(std::uint32_t code) override;
  std::uint32_t FormatMessage(std::uint32_t flags, std::uint32_t messageId,
                              std::uint32_t languageId, char** text) override;
  void FreeMessageText(char* text) override;
  void* GlobalAlloc(std::size_t bytes) override;
  void GlobalFree(void* block) override;
  std::uint32_t GetModuleFileName(char* buffer, std::uint32_t capacity) override;
  void Sleep(std::uint32_t milliseconds) override;
  bool IsElevated() override;
  bool FileExists(const char* path) override;
  bool EnableShutdownPrivilege() override;
};

class CWin32AccountRights : public IAccountRights {
 public:
  bool LookupAccountName(const char* account, Sid* sid) override;
  NtStatus LsaOpenPolicy(std::uint32_t access, Handle* policy) override;
  NtStatus LsaEnumerateAccountRights(Handle policy, const Sid& sid,
                                     std::vector<std::string>* rights) override;
  NtStatus LsaAddAccountRights(Handle policy, const Sid& sid, const char* right) override;
  NtStatus LsaClose(Handle policy) override;
  std::uint32_t LsaNtStatusToWinError(NtStatus status) override;
};

// The three together, as the program and the Wine tests hand them to the commands.
class CWin32Platform {
 public:
  CWin32Platform() = default;
  CWin32Platform(const CWin32Platform&) = delete;
  CWin32Platform& operator=(const CWin32Platform&) = delete;

  ServicePlatform& Platform() { return m_platform; }

 private:
  CWin32ServiceManager m_scm;
  CWin32Registry m_registry;
  CWin32System m_system;
  ServicePlatform m_platform{m_scm, m_registry, m_system};
};

}  // namespace qm::platform
