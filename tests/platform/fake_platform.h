#pragma once
// A scripted, in-memory stand-in for the service seam: a registry, a service database, the
// last error, memory blocks and files. Any call can be made to fail with a chosen
// code; every call is recorded with its arguments; open handles and live blocks are
// tracked so that a test can check that a command released everything it obtained.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/account_rights.h"
#include "platform/platform.h"

namespace qm::platform::test {

struct CaseLess {
  bool operator()(const std::string& a, const std::string& b) const;
};

struct FakeValue {
  std::uint32_t type = 0;
  std::string data;  // raw bytes
};

struct FakeKey {
  std::string strClass;
  std::map<std::string, std::unique_ptr<FakeKey>, CaseLess> subkeys;
  std::map<std::string, FakeValue, CaseLess> values;
};

// What the manager gives a new service as its pre-shutdown timeout (Wine's value, and the
// documented one before Windows 10 1703).
inline constexpr std::uint32_t kFakePreshutdownDefaultMs = 180000;

struct FakeService {
  std::string strName;  // as created
  std::string strDisplayName;
  std::string strBinaryPath;
  std::string strDependencies;  // the list bytes as handed over, final NULs included
  bool bHadDependencies = false;
  std::uint32_t dwType = 0;
  std::uint32_t dwStartType = 0;
  std::uint32_t dwState = kServiceStopped;
  bool bMarkedForDelete = false;
  // After a stop request: how many waits the service stays stopping; -1 for ever.
  int nStopPendingWaits = 0;
  std::uint32_t dwWaitHint = 0;
  std::uint32_t cbConfig = 200;  // the size its configuration record needs
  std::string strDescription;
  bool bDelayedAutoStart = false;
  std::uint32_t dwPreshutdownTimeoutMs = kFakePreshutdownDefaultMs;
  std::string strStartName = "LocalSystem";
  std::string strPassword;
  // What a start leads to: the state the service reports once started, and its exit codes.
  std::uint32_t dwStateAfterStart = kServiceRunning;
  std::uint32_t dwWin32ExitCode = 0;
  std::uint32_t dwServiceExitCode = 0;
  std::vector<std::uint32_t> controls;  // user-defined controls received
  std::uint32_t dwProcessId = 0;        // what QueryServiceStatusEx tells unless stopped
  FailureActions failureActions;        // none, as the manager creates a service
  bool bFailureActionsOnErrorStops = false;
};

// An account of the fake's security policy: its SID (its name's bytes) and its rights.
struct FakeAccount {
  std::vector<std::string> rights;
};

class CFakePlatform : public IServiceManager,
                      public IRegistry,
                      public ISystem,
                      public IAccountRights {
 public:
  CFakePlatform();
  ~CFakePlatform() override;

  ServicePlatform& Platform() { return m_platform; }

  // --- scripting ---
  // Makes the named call (e.g. "RegSetValueEx") fail with code; occurrence 0 fails every call,
  // n only the n-th call of that name (counted from 1, from the fake's creation). Several
  // rules for one call add up.
  void FailCall(const std::string& strCall, std::uint32_t code, int occurrence = 0);
  void SetMessageText(std::uint32_t code, const std::string& strText) { m_texts[code] = strText; }
  void SetModulePath(const std::string& strPath) { m_strModulePath = strPath; }
  // Runs at the start of every scripted call, with the call's name: lets a test change the
  // world under a command (delete a key while it is enumerated, for instance).
  std::function<void(const std::string&)> m_onEnter;
  // The registry and the database as a test prepares them.
  FakeKey* EnsureKey(const std::string& strPath);  // under HKEY_LOCAL_MACHINE
  FakeKey* FindKey(const std::string& strPath);
  bool DeleteKeyTree(const std::string& strPath);
  void SetValue(const std::string& strKey, const std::string& strValue, std::uint32_t type,
                const std::string& data);
  FakeService& AddService(const std::string& strName, std::uint32_t startType,
                          std::uint32_t state = kServiceStopped);
  FakeService* FindService(const std::string& strName);

  // --- what happened ---
  std::vector<std::string> m_calls;  // "Name(arguments)" in order
  std::vector<std::uint32_t> m_sleeps;
  std::vector<std::string> CallNames() const;  // m_calls without the arguments
  int CountCalls(const std::string& strCall) const;
  std::size_t OpenHandleCount() const { return m_handles.size(); }
  std::size_t LiveBlockCount() const { return m_blocks.size(); }
  std::uint32_t m_dwLastError = 0;

  // --- IServiceManager ---
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
  // --- IRegistry ---
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
  // --- ISystem ---
  std::uint32_t GetLastError() override { return m_dwLastError; }
  void SetLastError(std::uint32_t code) override { m_dwLastError = code; }
  std::uint32_t FormatMessage(std::uint32_t flags, std::uint32_t messageId,
                              std::uint32_t languageId, char** text) override;
  void FreeMessageText(char* text) override;
  void* GlobalAlloc(std::size_t bytes) override;
  void GlobalFree(void* block) override;
  std::uint32_t GetModuleFileName(char* buffer, std::uint32_t capacity) override;
  void Sleep(std::uint32_t milliseconds) override;
  bool IsElevated() override { return m_bElevated; }
  bool m_bElevated = true;
  // Every file exists but these (exact paths).
  bool FileExists(const char* path) override;
  std::set<std::string> m_absentFiles;
  bool EnableShutdownPrivilege() override;
  bool m_bShutdownPrivilege = false;  // enabled in the token (an administrator holds it)
  // --- IAccountRights ---
  // The accounts the policy knows, by name as looked up ("alice", "NT SERVICE\\Svc"); a call's
  // failure is scripted with FailCall ("LookupAccountName", ..., as an NTSTATUS for the Lsa...
  // calls).
  std::map<std::string, FakeAccount, CaseLess> m_accounts;
  bool LookupAccountName(const char* account, Sid* sid) override;
  NtStatus LsaOpenPolicy(std::uint32_t access, Handle* policy) override;
  NtStatus LsaEnumerateAccountRights(Handle policy, const Sid& sid,
                                     std::vector<std::string>* rights) override;
  NtStatus LsaAddAccountRights(Handle policy, const Sid& sid, const char* right) override;
  NtStatus LsaClose(Handle policy) override;
  std::uint32_t LsaNtStatusToWinError(NtStatus status) override;

 private:
  enum class Kind { Manager, Service, Key, Policy };
  struct HandleInfo {
    Kind kind;
    std::string strTarget;  // service name, or key path from the root
    std::uint32_t dwAccess;
  };
  struct FailRule {
    std::uint32_t code;
    int occurrence;
  };

  // Records the call; true when a rule says it fails, with the code in *code.
  bool Enter(const std::string& strCall, const std::string& strArgs, std::uint32_t* code);
  Handle NewHandle(Kind kind, const std::string& strTarget, std::uint32_t access);
  const HandleInfo* Find(Handle h, Kind kind) const;
  // The full path of root + path, or false when the root is no key.
  bool ResolvePath(Handle root, const char* path, std::string* full) const;
  void ReleaseIfDeleted(const std::string& strService);
  // The status a query finds, after a pending state has moved on as scripted.
  bool SettledStatus(Handle service, ServiceStatus* status);
  // The service behind an open service handle, or null with the last error set.
  FakeService* ServiceOf(Handle service);
  // The account a SID of LookupAccountName names, or null.
  FakeAccount* AccountOf(const Sid& sid, std::string* pName = nullptr);
  bool Fail(std::uint32_t code) {
    m_dwLastError = code;
    return false;
  }

  FakeKey m_hklm;
  std::map<std::string, FakeService, CaseLess> m_services;
  std::map<Handle, HandleInfo> m_handles;
  std::set<void*> m_blocks;
  std::map<std::uint32_t, std::string> m_texts;
  std::multimap<std::string, FailRule> m_rules;
  std::map<std::string, int> m_seen;
  std::string m_strModulePath = "C:\\Tools\\quillmnt.exe";
  Handle m_hNext = 0x1000;
  ServicePlatform m_platform;
};

std::string Describe(const char* text);  // "null" or the text in quotes

}  // namespace qm::platform::test
