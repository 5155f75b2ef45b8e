// apply: makes the machine match a file of services. The whole file is checked first, then
// every service it names is read; only then is anything written, and only what differs.

#include "cli/apply_plan.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/force_confirm.h"
#include "cli/json.h"
#include "cli/preshutdown_setting.h"
#include "cli/runner_values.h"
#include "cli/service_account.h"
#include "cli/service_settings.h"
#include "cli/service_state.h"
#include "cli/stored_parameters.h"
#include "service/preshutdown_timeout.h"

namespace qm::cli {

namespace {

// Passes on failures only: what restart and start print as they go is not apply's to say.
class CErrorsOnly : public IConsole {
 public:
  explicit CErrorsOnly(IConsole& console) : m_console(console) {}
  void Out(std::string_view /*line*/) override {}
  void Err(std::string_view line) override { m_console.Err(line); }

 private:
  IConsole& m_console;
};

// Every line to the error output: what must not mix with a JSON document on the output.
class CLinesToErrors : public IConsole {
 public:
  explicit CLinesToErrors(IConsole& console) : m_console(console) {}
  void Out(std::string_view line) override { m_console.Err(line); }
  void Err(std::string_view line) override { m_console.Err(line); }

 private:
  IConsole& m_console;
};

// The service open for reading (*pService, empty when it is not registered), its start type
// and state; false, and said why, when that cannot be told.
bool LookUp(CommandContext& context, platform::Handle hManager, const std::string& strName,
            platform::CScHandle* pService, platform::ServiceConfigInfo* pInfo,
            platform::ServiceStatus* pStatus) {
  platform::IServiceManager& scm = context.scm;
  *pService = platform::OwnScHandle(
      scm, context.system,
      scm.OpenService(hManager, strName.c_str(),
                      platform::kServiceQueryConfig | platform::kServiceQueryStatus));
  if (!*pService) {
    const std::uint32_t dwError = context.system.GetLastError();
    if (dwError == static_cast<std::uint32_t>(platform::kErrorServiceDoesNotExist)) return true;
    Fail(context, "Could not open the service " + strName + ". " + ErrorText(context, dwError));
    return false;
  }
  if (!scm.QueryConfig(pService->get(), pInfo) ||
      !scm.QueryServiceStatus(pService->get(), pStatus)) {
    Fail(context, "Could not query " + strName + ". " + ErrorText(context));
    return false;
  }
  return true;
}

// The changes one entry asks for, decided from the service as it is now.
bool Plan(CommandContext& context, const ParsedCommand& cmd, platform::Handle hManager,
          const ServiceEntry& entry, std::vector<Change>* pChanges) {
  const std::string& strName = entry.strName;
  platform::CScHandle service;
  platform::ServiceConfigInfo info;
  platform::ServiceStatus status;
  if (!LookUp(context, hManager, strName, &service, &info, &status)) return false;
  if (!service) {
    if (entry.bAbsent) return true;
    pChanges->push_back({ChangeKind::kCreate, strName, 0, {}, {}});
    const std::vector<Change> sets = SettingChanges(entry, InstalledState(entry));
    pChanges->insert(pChanges->end(), sets.begin(), sets.end());
    // Install gives the new service the timeout of the default StopTimeout.
    const std::vector<Change> timeout =
        PreshutdownChanges(entry, svc::PreshutdownTimeoutMs(contract::kDefaultStopTimeoutMs));
    pChanges->insert(pChanges->end(), timeout.begin(), timeout.end());
    return true;
  }
  const bool bOwn = context.commands.IsOwnInstall(strName.c_str());
  if (entry.bAbsent) {
    // As Remove asks a second time: a service not ours, or one that is not started
    // automatically or on demand.
    const bool bUsual = info.startType == platform::kServiceAutoStart ||
                        info.startType == platform::kServiceDemandStart;
    if ((!bOwn || !bUsual) && !cmd.bForce) {
      Fail(context, strName +
                        " was not installed by Quillmont, or it is disabled or a driver: "
                        "it is not removed without --force; nothing was changed.");
      return false;
    }
    pChanges->push_back({ChangeKind::kRemove, strName, 0, {}, {}});
    return true;
  }
  if (!bOwn) {
    Fail(context, strName +
                      " was not installed by Quillmont; apply changes only services it "
                      "installed. Nothing was changed.");
    return false;
  }
  ServiceState current;
  if (!ReadServiceState(context, strName, &current, service.get(), &info)) return false;
  *pChanges = SettingChanges(entry, current);
  const bool bSettingsChanged = !pChanges->empty();
  // Services installed before the runner took pre-shutdown have the system's timeout.
  std::uint32_t dwPreshutdownMs = 0;
  if (!context.scm.QueryPreshutdownTimeout(service.get(), &dwPreshutdownMs)) {
    Fail(context,
         "Could not read the pre-shutdown timeout of " + strName + ". " + ErrorText(context));
    return false;
  }
  const std::vector<Change> timeout = PreshutdownChanges(entry, dwPreshutdownMs);
  pChanges->insert(pChanges->end(), timeout.begin(), timeout.end());
  // The runner reads its settings when it starts; the manager's timeout needs no restart.
  if (cmd.bRestart && bSettingsChanged && status.currentState == platform::kServiceRunning) {
    pChanges->push_back({ChangeKind::kRestart, strName, 0, {}, {}});
  }
  return true;
}

bool Create(CommandContext& context, const ServiceEntry& entry) {
  const std::vector<Setting> settings = AllSettings();
  svc::InstallRequest request;
  request.strServiceName = entry.strName;
  for (std::size_t i = 0; i < settings.size(); ++i) {
    const Setting& setting = settings[i];
    const SettingData& data = entry.data[i];
    const std::string_view name = setting.pszName;
    if (setting.kind == SettingKind::kDisplayName) request.strDisplayName = data.strText;
    if (setting.kind == SettingKind::kDependencies) request.strDependencies = data.strText;
    if (setting.kind == SettingKind::kStartup) {
      request.bAutoStart = StartTypeOf(data.startup) == platform::kServiceAutoStart;
    }
    if (name == contract::value::kRunfile) request.strExecutable = data.strText;
    if (name == contract::value::kArguments) request.strArguments = data.strText;
    if (name == contract::value::kDirectory) request.strWorkingDirectory = data.strText;
  }
  const svc::CommandOutcome outcome = context.commands.Install(request);
  if (outcome.Succeeded()) return true;
  Fail(context, OneLine(outcome.strText));
  return false;
}

// Carries out one service's changes, in order: its creation or removal, its own settings, the
// runner's values (written together), its restart. Each change done is handed to done.
template <typename Done>
bool Carry(CommandContext& context, const ParsedCommand& cmd, const ServiceEntry& entry,
           const std::vector<Change>& changes, Done done) {
  const std::vector<Setting> settings = AllSettings();
  CLinesToErrors errorLines(context.console);
  std::vector<RunnerEdit> edits;
  std::vector<const Change*> editChanges;
  const auto writeEdits = [&]() {
    if (edits.empty()) return true;
    if (!WriteRunnerEdits(context, entry.strName, edits)) return false;
    for (const Change* pChange : editChanges) done(*pChange);
    edits.clear();
    editChanges.clear();
    return true;
  };
  for (const Change& change : changes) {
    bool bOk = true;
    switch (change.kind) {
      case ChangeKind::kCreate:
        bOk = Create(context, entry);
        break;
      case ChangeKind::kRemove: {
        CForceConfirm confirm(cmd.bForce);
        const svc::CommandOutcome outcome =
            context.commands.Remove(svc::RemoveRequest{entry.strName}, confirm);
        bOk = outcome.Succeeded();
        if (!bOk) {
          const std::string strText = outcome.strText.empty() ? entry.strName + " was NOT removed."
                                                              : OneLine(outcome.strText);
          Fail(context, outcome.dwError == 0 ? strText
                                             : strText + " " + ErrorText(context, outcome.dwError));
        }
        break;
      }
      case ChangeKind::kSet: {
        const Setting& setting = settings[change.nSetting];
        const SettingData& data = entry.data[change.nSetting];
        if (setting.kind == SettingKind::kRunnerValue) {
          RunnerEdit edit{setting.pValue, std::nullopt};
          if (change.to.bStored) edit.value = StoredValueOf(*setting.pValue, data);
          edits.push_back(std::move(edit));
          editChanges.push_back(&change);
          continue;
        }
        bOk = ChangeServiceSetting(context, entry.strName, setting, data);
        if (bOk && setting.kind == SettingKind::kAccount && AccountNeedsLogonRight(data.strText)) {
          done(change);
          // As set does; beside a JSON document the line goes to the error output.
          GrantLogonRight(context, data.strText,
                          cmd.bJson ? static_cast<IConsole&>(errorLines) : context.console);
          continue;
        }
        break;
      }
      case ChangeKind::kPreshutdown:
        // After StopTimeout itself, so that the lines come in the plan's order.
        if (!writeEdits()) return false;
        bOk = SetPreshutdownTimeout(context, entry.strName, StopTimeoutOf(entry.desired));
        break;
      case ChangeKind::kRestart: {
        if (!writeEdits()) return false;
        CErrorsOnly errorsOnly(context.console);
        CommandContext quiet = WithConsole(context, errorsOnly);
        ParsedCommand restart;
        restart.strName = entry.strName;
        bOk = RunRestart(quiet, restart) == kExitOk;
        break;
      }
    }
    if (!bOk) return false;
    done(change);
  }
  return writeEdits();
}

}  // namespace

int RunApply(CommandContext& context, const ParsedCommand& cmd) {
  const std::string strFile = cmd.strFile;
  std::string strText;
  const std::uint32_t dwRead =
      context.applyInput.ReadFile(strFile, kMaxServicesFileBytes, &strText);
  if (dwRead == kErrorFileTooLarge) {
    return Fail(context, strFile + ": the file is larger than " +
                             std::to_string(kMaxServicesFileBytes / (1024 * 1024)) +
                             " MiB; nothing was changed.");
  }
  if (dwRead != 0) {
    return Fail(context, "Could not read " + strFile + ". " + ErrorText(context, dwRead));
  }
  std::vector<ServiceEntry> entries;
  std::string strError;
  if (!ReadServicesFile(context, strText, &entries, &strError)) {
    return Fail(context, strFile + ": " + strError + "; nothing was changed.");
  }

  // Every service the file names, read before anything is written.
  platform::IServiceManager& scm = context.scm;
  platform::CScHandle manager = platform::OwnScHandle(
      scm, context.system, scm.OpenSCManager(nullptr, nullptr, platform::kScManagerConnect));
  if (!manager)
    return Fail(context, "Could not open Service Control Manager. " + ErrorText(context));
  std::vector<std::vector<Change>> plans(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!Plan(context, cmd, manager.get(), entries[i], &plans[i])) return kExitFailure;
  }
  manager.reset();

  Json changes = Json::array();
  bool bChanged = false;
  bool bOk = true;
  const auto done = [&](const Change& change) {
    bChanged = true;
    if (!cmd.bJson) {
      context.console.Out(ChangeLine(change, cmd.bCheck));
      return;
    }
    Json json;
    if (ChangeJson(context, change, &json)) changes.push_back(std::move(json));
  };
  for (std::size_t i = 0; i < entries.size() && bOk; ++i) {
    if (cmd.bCheck) {
      for (const Change& change : plans[i]) done(change);
    } else {
      bOk = Carry(context, cmd, entries[i], plans[i], done);
    }
  }
  if (cmd.bJson) {
    context.console.Out(
        JsonText({{"Changed", bChanged}, {"Check", cmd.bCheck}, {"Changes", changes}}, true));
  } else if (cmd.bCheck && bChanged) {
    context.console.Out("(--check: nothing was changed)");
  }
  if (!bOk) return kExitFailure;
  return bChanged ? kExitChanged : kExitOk;
}

}  // namespace qm::cli
