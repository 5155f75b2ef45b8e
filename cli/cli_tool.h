#pragma once
// The command line: parses one command, checks it, and carries it out over the same service
// seam and the same Install and Remove commands as the window. Results go to standard output,
// failures to standard error, and the exit code tells a script what happened.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/arguments.h"
#include "cli/batch_code_page.h"
#include "cli/console.h"
#include "cli/exit_codes.h"
#include "cli/runner_view.h"
#include "cli/settings.h"
#include "runner/core/runner_settings.h"
#include "service/platform.h"
#include "service/platform_handles.h"
#include "service/service_commands.h"

namespace qm::cli {

// The line after each command of a dump's script: it ends the script when the command failed.
inline constexpr const char* kDumpStopLine = "@if errorlevel 1 exit /b 1";

// How often start, stop and restart look at the service while they wait.
inline constexpr std::uint32_t kPollMs = 250;

// The word for a service state. status names every state; list (bBrief) keeps its column
// short and calls pausing, continuing and unknown states "pending".
const char* StateWord(std::uint32_t dwState, bool bBrief);

class CCommandLineTool {
 public:
  CCommandLineTool(svc::IServiceManager& scm, svc::IRegistry& registry, svc::ISystem& system,
                   IRunnerView& runnerView, IBatchCodePage& batchCodePage, IConsole& console,
                   const char* pszVersion);

  // Runs one whole command line (program name first); returns the exit code. unrepresentable:
  // the places in the line of characters that the system's ANSI code page could not hold
  // (each stands there as a replacement); an argument with one is refused.
  int Run(std::string_view commandLine,
          const std::vector<std::size_t>& unrepresentable = std::vector<std::size_t>());

 private:
  int Dispatch(const ParsedCommand& cmd);
  int OnHelp(const std::string& strTopic);
  int OnInstall(const ParsedCommand& cmd);
  int OnRemove(const ParsedCommand& cmd);
  int OnSet(const ParsedCommand& cmd);
  int OnGet(const ParsedCommand& cmd);
  int OnReset(const ParsedCommand& cmd);
  int OnStart(const ParsedCommand& cmd);
  int OnStop(const ParsedCommand& cmd);
  int OnStatus(const ParsedCommand& cmd);
  int OnList();
  int OnDump(const ParsedCommand& cmd);
  int OnRotate(const ParsedCommand& cmd);

  // Opens the manager and the service with the given rights; on failure says why and
  // returns false.
  bool OpenService(const std::string& strName, std::uint32_t dwAccess, svc::CScHandle* manager,
                   svc::CScHandle* service);
  // For set and reset: the service exists and this tool installed it.
  bool CheckOwnService(const std::string& strName);
  // Waits until the service leaves dwPending or the timeout ends; false at the timeout.
  bool WaitWhile(svc::Handle hService, std::uint32_t dwPending, std::uint32_t dwTimeoutSeconds,
                 svc::ServiceStatus* status);
  // Who the service's runner is, for its record's owner; an account that cannot be read is
  // left empty, which stands for LocalSystem.
  RunnerAccount RunnerAccountOf(const std::string& strName);
  // Prints "name: state (...)" with the runner's view when the status names the service's
  // process; returns the status exit code.
  int ReportStatus(const std::string& strName, const svc::ServiceStatus& status);

  // Values of the service's key: the manager's own (read), and the runner's (write, delete).
  long ReadServiceValue(const std::string& strName, const char* pszValue, std::uint32_t* pdwType,
                        std::string* pData);
  long ReadValue(const std::string& strPath, const char* pszValue, std::uint32_t* pdwType,
                 std::string* pData);
  bool WriteParameter(const std::string& strName, const char* pszValue, std::uint32_t dwType,
                      const std::string& data);
  bool DeleteParameter(const std::string& strName, const char* pszValue);
  // One runner value through the runner's own parser into *pSettings; says why not.
  bool ReadRunnerValue(runner::IValueSource& source, const std::string& strName,
                       const contract::RunnerValue& value, runner::RunnerSettings* pSettings);
  // A runner value as text (a list's entries one a line, and in *pEntries), its default when
  // absent; false when it cannot be read.
  bool RunnerValueText(const std::string& strName, const contract::RunnerValue& value,
                       std::string* pText, bool* pbDefault,
                       std::vector<std::string>* pEntries = nullptr);
  // For dump: whether a text can go into its script (see OnDump); says why not.
  bool CheckScriptText(const std::string& strName, const std::string& strWhat,
                       const std::string& strText);
  // A service setting as text.
  bool ServiceSettingText(const std::string& strName, SettingKind kind, std::string* pText);
  // Applies checked data to one setting; every failure is reported and leaves it as it was.
  bool ApplySetting(const std::string& strName, const Setting& setting, const SettingData& data);
  // hService is open for configuration; pszKeptList goes back with the change (see
  // ApplySetting).
  bool ApplyStartup(const std::string& strName, svc::Handle hService, const char* pszKeptList,
                    StartupChoice choice);
  // The stored settings with one value changed (pNew) or reset (nullptr), read and checked as
  // the runner will at its next start; refused (and said why) when the runner would refuse
  // them for a reason the stored values do not have already.
  bool CheckRunnerEdit(const std::string& strName, const contract::RunnerValue& value,
                       const runner::StoredValue* pNew);

  // The last error, or a given code, as one line (as the window shows it).
  std::string ErrorText();
  std::string ErrorText(std::uint32_t dwCode);
  int Fail(const std::string& strText);
  bool NeedsElevation(Verb verb) const;

  svc::IServiceManager& m_scm;
  svc::IRegistry& m_registry;
  svc::ISystem& m_system;
  IRunnerView& m_runnerView;
  IBatchCodePage& m_batchCodePage;
  IConsole& m_console;
  const char* m_pszVersion;
  svc::ServicePlatform m_platform;
  svc::CServiceCommands m_commands;
};

}  // namespace qm::cli
