#pragma once
// The narrow seam between the service commands and the system. The commands decide
// everything from their inputs and from the success or failure of these calls; the Win32
// implementation forwards each call to the ANSI API of the same name (service creation goes
// through the wide entry point after the same conversion), and the tests script a fake.
// Nothing here includes <windows.h>, so the commands build and run natively.

#include <cstddef>
#include <cstdint>

// The seam's calls carry the names of the Win32 functions they stand for; <windows.h> maps
// some of those names to their ANSI or wide forms, which would rename them in some
// translation units and not in others. Win32 code calls the ...A forms by their full names.
#undef OpenSCManager
#undef CreateService
#undef OpenService
#undef QueryServiceConfig
#undef FormatMessage
#undef GetModuleFileName
#undef StartService
#undef ChangeServiceConfig

namespace qm::platform {

// Opaque handle: a service manager, service or registry key handle as the platform gave it.
using Handle = std::uintptr_t;
constexpr Handle kNoHandle = 0;

// Predefined root key, with the value the system gives it (sign-extended on 64-bit).
constexpr Handle kHKeyLocalMachine =
    static_cast<Handle>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000002u)));

// Values the commands pass or compare, as the system defines them.
constexpr std::uint32_t kScManagerAllAccess = 0xF003F;
constexpr std::uint32_t kServiceAllAccess = 0xF01FF;
constexpr std::uint32_t kServiceWin32OwnProcess = 0x10;
constexpr std::uint32_t kServiceBootStart = 0;
constexpr std::uint32_t kServiceSystemStart = 1;
constexpr std::uint32_t kServiceAutoStart = 2;
constexpr std::uint32_t kServiceDemandStart = 3;
constexpr std::uint32_t kServiceDisabled = 4;
constexpr std::uint32_t kServiceErrorNormal = 1;
constexpr std::uint32_t kServiceControlStop = 1;
constexpr std::uint32_t kServiceStopped = 1;
constexpr std::uint32_t kServiceStopPending = 3;
constexpr std::uint32_t kServiceRunning = 4;
constexpr std::uint32_t kServiceStartPending = 2;
constexpr std::uint32_t kServiceContinuePending = 5;
constexpr std::uint32_t kServicePausePending = 6;
constexpr std::uint32_t kServicePaused = 7;
constexpr std::uint32_t kServiceNoChange = 0xFFFFFFFF;
// Narrower rights for commands that only read or control.
constexpr std::uint32_t kScManagerConnect = 0x1;
constexpr std::uint32_t kScManagerEnumerateService = 0x4;
constexpr std::uint32_t kServiceQueryConfig = 0x1;
constexpr std::uint32_t kServiceChangeConfig = 0x2;
constexpr std::uint32_t kServiceQueryStatus = 0x4;
constexpr std::uint32_t kServiceStart = 0x10;
constexpr std::uint32_t kServiceStop = 0x20;
constexpr std::uint32_t kServiceUserDefinedControl = 0x100;

constexpr std::uint32_t kKeyRead = 0x20019;
constexpr std::uint32_t kKeyWrite = 0x20006;
constexpr std::uint32_t kKeyAllAccess = 0xF003F;
constexpr std::uint32_t kRegOptionNonVolatile = 0;
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegMultiSz = 7;

constexpr long kErrorSuccess = 0;
constexpr long kErrorFileNotFound = 2;
constexpr long kErrorAccessDenied = 5;
constexpr long kErrorNotEnoughMemory = 8;
constexpr long kErrorInsufficientBuffer = 122;
constexpr long kErrorMoreData = 234;
constexpr long kErrorNoMoreItems = 259;
constexpr long kErrorInvalidParameter = 87;
constexpr long kErrorInvalidLevel = 124;
constexpr long kErrorServiceRequestTimeout = 1053;
constexpr long kErrorServiceAlreadyRunning = 1056;
constexpr long kErrorServiceDoesNotExist = 1060;
constexpr long kErrorServiceNotActive = 1062;

constexpr std::uint32_t kFormatMessageAllocateBuffer = 0x100;
constexpr std::uint32_t kFormatMessageIgnoreInserts = 0x200;
constexpr std::uint32_t kFormatMessageFromSystem = 0x1000;
constexpr std::uint32_t kFormatMessageArgumentArray = 0x2000;

struct CreateServiceArgs {
  const char* serviceName;
  const char* displayName;
  std::uint32_t desiredAccess;
  std::uint32_t serviceType;
  std::uint32_t startType;
  std::uint32_t errorControl;
  const char* binaryPathName;
  const char* loadOrderGroup;
  const char* dependencies;  // names each ended by NUL, the list by a further NUL; or null
  const char* serviceStartName;
  const char* password;
};

// The actions of a service's failure actions (SC_ACTION_TYPE).
constexpr std::uint32_t kScActionNone = 0;
constexpr std::uint32_t kScActionRestart = 1;
constexpr std::uint32_t kScActionReboot = 2;
constexpr std::uint32_t kScActionRunCommand = 3;

struct FailureAction {
  std::uint32_t type = kScActionNone;
  std::uint32_t delayMs = 0;
};
// More than the manager's own dialog shows (three): a longer list is refused, not cut.
inline constexpr std::size_t kMaxFailureActions = 32;
// SERVICE_FAILURE_ACTIONSA without its texts: the reboot message and the command to run are
// left as the manager has them.
struct FailureActions {
  std::uint32_t resetSeconds = 0;  // the failure count goes back to 0 after this long
  std::uint32_t count = 0;         // 0: none (a change deletes the actions and the period)
  FailureAction actions[kMaxFailureActions] = {};
};
// None at all. Assigned from here: MinGW's g++ 12 fails on some temporaries of the type.
inline constexpr FailureActions kNoFailureActions{};

struct ServiceStatus {
  std::uint32_t currentState = 0;
  std::uint32_t checkPoint = 0;
  std::uint32_t waitHint = 0;
  std::uint32_t win32ExitCode = 0;
  std::uint32_t serviceSpecificExitCode = 0;
  std::uint32_t processId = 0;  // the service's process while it runs; QueryServiceStatusEx only
};

// The manager keeps display and account names of up to 256 characters; in a double-byte
// code page each may take two bytes.
inline constexpr std::size_t kNameBytes = 2 * 256 + 1;

// What QueryServiceConfigA tells of a service, copied into fixed buffers.
struct ServiceConfigInfo {
  std::uint32_t startType = 0;
  char szDisplayName[kNameBytes] = {};
  char szBinaryPath[1024] = {};
  char szDependencies[2048] = {};  // names each ended by NUL, the list by a further NUL
  char szStartName[kNameBytes] = {};
};

// ChangeServiceConfigA: kServiceNoChange or a null text keeps what the service has.
struct ChangeServiceArgs {
  std::uint32_t startType = kServiceNoChange;
  const char* displayName = nullptr;
  const char* dependencies = nullptr;  // list form; a lone NUL clears the list
  const char* serviceStartName = nullptr;
  const char* password = nullptr;
};

// Receives the services an enumeration lists, one call each.
class IServiceListSink {
 public:
  virtual ~IServiceListSink() = default;
  // The status as QueryServiceStatusEx tells it: processId is the service's process while it
  // has one, else 0.
  virtual void OnService(const char* name, const ServiceStatus& status) = 0;
};

// The Service Control Manager (advapi32). Failures leave their reason in the last error.
class IServiceManager {
 public:
  virtual ~IServiceManager() = default;
  virtual Handle OpenSCManager(const char* machine, const char* database, std::uint32_t access) = 0;
  virtual Handle CreateService(Handle manager, const CreateServiceArgs& args) = 0;
  virtual Handle OpenService(Handle manager, const char* name, std::uint32_t access) = 0;
  // QueryServiceConfigA into a caller's block of blockSize bytes; on success *startType holds
  // the record's start type.
  virtual bool QueryServiceConfig(Handle service, void* block, std::uint32_t blockSize,
                                  std::uint32_t* bytesNeeded, std::uint32_t* startType) = 0;
  virtual bool ControlService(Handle service, std::uint32_t control, ServiceStatus* status) = 0;
  virtual bool QueryServiceStatus(Handle service, ServiceStatus* status) = 0;
  // QueryServiceStatusEx: the status with the id of the service's process.
  virtual bool QueryServiceStatusEx(Handle service, ServiceStatus* status) = 0;
  virtual bool DeleteService(Handle service) = 0;
  virtual bool CloseServiceHandle(Handle handle) = 0;
  virtual bool StartService(Handle service) = 0;
  // The whole configuration; false with kErrorInsufficientBuffer when a text does not fit.
  virtual bool QueryConfig(Handle service, ServiceConfigInfo* info) = 0;
  virtual bool ChangeServiceConfig(Handle service, const ChangeServiceArgs& args) = 0;
  // QueryServiceConfig2A / ChangeServiceConfig2A for the description and the delayed start.
  virtual bool QueryDescription(Handle service, char* buffer, std::uint32_t capacity) = 0;
  virtual bool ChangeDescription(Handle service, const char* text) = 0;
  virtual bool QueryDelayedAutoStart(Handle service, bool* delayed) = 0;
  virtual bool ChangeDelayedAutoStart(Handle service, bool delayed) = 0;
  // QueryServiceConfig2A / ChangeServiceConfig2A for the pre-shutdown timeout: how long the
  // manager waits for the service to stop once it has sent it SERVICE_CONTROL_PRESHUTDOWN.
  virtual bool QueryPreshutdownTimeout(Handle service, std::uint32_t* timeoutMs) = 0;
  virtual bool ChangePreshutdownTimeout(Handle service, std::uint32_t timeoutMs) = 0;
  // QueryServiceConfig2A / ChangeServiceConfig2A with SERVICE_CONFIG_FAILURE_ACTIONS; a query
  // fails with kErrorInsufficientBuffer for more than kMaxFailureActions. A change with a
  // restart needs a handle with kServiceStart, one with a reboot the shutdown privilege.
  virtual bool QueryFailureActions(Handle service, FailureActions* actions) = 0;
  virtual bool ChangeFailureActions(Handle service, const FailureActions& actions) = 0;
  // SERVICE_CONFIG_FAILURE_ACTIONS_FLAG: whether a stop with a non-zero exit code counts as a
  // failure, as a process that ends without reporting a stop always does.
  virtual bool ChangeFailureActionsFlag(Handle service, bool onErrorStops) = 0;
  // EnumServicesStatusExA over every Win32 service in every state: one request for the whole
  // database where asking service by service would cost a request each.
  virtual bool EnumServices(Handle manager, IServiceListSink& sink) = 0;
};

// Registry primitives (advapi32). Results are system error codes, 0 for success.
class IRegistry {
 public:
  virtual ~IRegistry() = default;
  virtual long OpenKey(Handle root, const char* path, std::uint32_t options, std::uint32_t access,
                       Handle* key) = 0;
  virtual long CreateKey(Handle root, const char* path, const char* className,
                         std::uint32_t options, std::uint32_t access, Handle* key,
                         std::uint32_t* disposition) = 0;
  virtual long EnumKey(Handle key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                       char* className, std::uint32_t* classSize) = 0;
  virtual long QueryValue(Handle key, const char* valueName, std::uint32_t* type,
                          unsigned char* data, std::uint32_t* dataSize) = 0;
  virtual long SetValue(Handle key, const char* valueName, std::uint32_t type,
                        const unsigned char* data, std::uint32_t dataSize) = 0;
  virtual long CloseKey(Handle key) = 0;
  virtual long DeleteValue(Handle key, const char* valueName) = 0;
};

// Kernel services (kernel32): last error and its text, memory blocks, module path, waiting,
// files.
class ISystem {
 public:
  virtual ~ISystem() = default;
  virtual std::uint32_t GetLastError() = 0;
  virtual void SetLastError(std::uint32_t code) = 0;
  // FormatMessageA with a system message; with kFormatMessageAllocateBuffer *text receives a
  // block that FreeMessageText releases. Returns the characters stored, 0 when none.
  virtual std::uint32_t FormatMessage(std::uint32_t flags, std::uint32_t messageId,
                                      std::uint32_t languageId, char** text) = 0;
  virtual void FreeMessageText(char* text) = 0;
  virtual void* GlobalAlloc(std::size_t bytes) = 0;  // GMEM_FIXED; null when exhausted
  virtual void GlobalFree(void* block) = 0;
  virtual std::uint32_t GetModuleFileName(char* buffer, std::uint32_t capacity) = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  // Whether the process holds the administrators' rights (elevated, where that applies).
  virtual bool IsElevated() = 0;
  // Whether path names a file that exists now (a folder does not count).
  virtual bool FileExists(const char* path) = 0;
  // AdjustTokenPrivileges: enables the shutdown privilege that the process's token holds
  // disabled, as a reboot among a service's failure actions needs; false when it holds none.
  virtual bool EnableShutdownPrivilege() = 0;
};

// Everything the service commands reach of the system.
struct ServicePlatform {
  IServiceManager& scm;
  IRegistry& registry;
  ISystem& system;
};

}  // namespace qm::platform
