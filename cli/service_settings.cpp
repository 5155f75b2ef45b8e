#include "cli/service_settings.h"

#include "cli/logon_right.h"

#include <cstring>

#include "cli/recovery_list.h"
#include "cli/service_access.h"
#include "cli/service_account.h"
#include "service/dependency_list.h"

namespace qm::cli {

namespace {

std::string JoinList(const char* list) {
  std::string strText;
  for (const char* p = list; p != nullptr && *p != '\0'; p += std::strlen(p) + 1) {
    if (!strText.empty()) strText.push_back(';');
    strText += p;
  }
  return strText;
}

// A value of the service's own key, as the manager keeps it.
long ReadServiceValue(CommandContext& context, const std::string& strName, const char* pszValue,
                      std::uint32_t* pdwType, std::string* pData) {
  const std::string strPath = std::string(contract::kServicesKeyPath) + "\\" + strName;
  platform::Handle hRaw = platform::kNoHandle;
  const long lOpen = context.registry.OpenKey(platform::kHKeyLocalMachine, strPath.c_str(), 0,
                                              platform::kKeyRead, &hRaw);
  if (lOpen != platform::kErrorSuccess) return lOpen;
  platform::CRegKey key = platform::OwnKey(context.registry, context.system, hRaw);
  std::string strData(contract::kMaxValueBytes, '\0');
  auto cbData = static_cast<std::uint32_t>(strData.size());
  const long lResult = context.registry.QueryValue(
      key.get(), pszValue, pdwType, reinterpret_cast<unsigned char*>(strData.data()), &cbData);
  if (lResult != platform::kErrorSuccess) return lResult;
  strData.resize(cbData);
  *pData = std::move(strData);
  return platform::kErrorSuccess;
}

// The failure actions of hService. A manager that knows none (Wine's refuses the level) has
// none; false, and said why, when they cannot be read.
bool ReadFailureActions(CommandContext& context, const std::string& strName,
                        platform::Handle hService, platform::FailureActions* pActions) {
  if (context.scm.QueryFailureActions(hService, pActions)) return true;
  if (context.system.GetLastError() == static_cast<std::uint32_t>(platform::kErrorInvalidLevel)) {
    *pActions = platform::kNoFailureActions;
    return true;
  }
  Fail(context, "Could not read the recovery of " + strName + ". " + ErrorText(context));
  return false;
}

// hService is open for configuration; pszKeptList goes back with the change (see
// ChangeServiceSetting).
bool ChangeStartup(CommandContext& context, const std::string& strName, platform::Handle hService,
                   const char* pszKeptList, StartupChoice choice) {
  platform::IServiceManager& scm = context.scm;
  platform::ServiceConfigInfo info;
  if (!scm.QueryConfig(hService, &info)) {
    Fail(context, "Could not read the configuration of " + strName + ". " + ErrorText(context));
    return false;
  }
  bool bWasDelayed = false;
  if (!scm.QueryDelayedAutoStart(hService, &bWasDelayed)) bWasDelayed = false;
  const bool bDelayed = choice == StartupChoice::kDelayedAuto;

  platform::ChangeServiceArgs args;
  args.startType = StartTypeOf(choice);
  args.dependencies = pszKeptList;
  if (!scm.ChangeServiceConfig(hService, args)) {
    Fail(context, "Could not change the startup of " + strName + ". " + ErrorText(context));
    return false;
  }
  if (bDelayed != bWasDelayed && (bDelayed || args.startType == platform::kServiceAutoStart) &&
      !scm.ChangeDelayedAutoStart(hService, bDelayed)) {
    const std::string strError = ErrorText(context);
    platform::ChangeServiceArgs undo;
    undo.startType = info.startType;
    undo.dependencies = pszKeptList;
    scm.ChangeServiceConfig(hService, undo);
    Fail(context, "Could not change the delayed start of " + strName +
                      "; its startup is as it was. " + strError);
    return false;
  }
  return true;
}

// Recovery or RecoveryReset, hService open for changing and reading the configuration and for
// starting (a restart action needs that right). A list of actions goes with the flag that makes
// a stop with an error count, and with the period kept; none deletes the actions and the
// period. A period is written with the actions the service has.
bool ChangeRecovery(CommandContext& context, const std::string& strName, platform::Handle hService,
                    const Setting& setting, const SettingData& data) {
  platform::IServiceManager& scm = context.scm;
  platform::FailureActions was;
  if (!ReadFailureActions(context, strName, hService, &was)) return false;
  platform::FailureActions actions = was;
  if (setting.kind == SettingKind::kRecovery) {
    std::string strError;
    if (!ParseRecovery(data.strText, &actions, &strError)) {
      Fail(context, strError + "; nothing was changed.");
      return false;
    }
    actions.resetSeconds = was.count != 0 ? was.resetSeconds : kDefaultRecoveryResetSeconds;
  } else if (was.count == 0) {
    // The manager keeps no period without actions: the default is what there is.
    if (data.dwValue == kDefaultRecoveryResetSeconds) return true;
    Fail(context, "RecoveryReset counts the failures of a Recovery list, and " + strName +
                      " has none: set Recovery first; nothing was changed.");
    return false;
  } else {
    actions.resetSeconds = data.dwValue;
  }
  if (HasReboot(actions) && !context.system.EnableShutdownPrivilege()) {
    Fail(context,
         "A reboot among the recovery actions needs the shutdown privilege, which this "
         "process could not enable; nothing was changed. " +
             ErrorText(context));
    return false;
  }
  if (!scm.ChangeFailureActions(hService, actions)) {
    Fail(context, "Could not change " + std::string(setting.pszName) + " of " + strName +
                      "; it is as it was. " + ErrorText(context));
    return false;
  }
  // The flag goes with a list; without one it does nothing, and is left as it is.
  if (actions.count != 0 && !scm.ChangeFailureActionsFlag(hService, true)) {
    const std::string strError = ErrorText(context);
    scm.ChangeFailureActions(hService, was);
    Fail(context, "Could not make a stop with an error count as a failure of " + strName +
                      "; its recovery is as it was. " + strError);
    return false;
  }
  return true;
}

// One of the service's own settings, hService open for reading its configuration; pKnown: its
// configuration when read already.
bool ReadSetting(CommandContext& context, const std::string& strName, platform::Handle hService,
                 SettingKind kind, const platform::ServiceConfigInfo* pKnown, std::string* pText) {
  platform::IServiceManager& scm = context.scm;
  if (kind == SettingKind::kRecovery || kind == SettingKind::kRecoveryReset) {
    platform::FailureActions actions;
    if (!ReadFailureActions(context, strName, hService, &actions)) return false;
    // Without actions the manager keeps no period either: the default stands.
    *pText = kind == SettingKind::kRecovery ? RecoveryText(actions)
             : actions.count == 0           ? std::to_string(kDefaultRecoveryResetSeconds)
                                            : std::to_string(actions.resetSeconds);
    return true;
  }
  if (kind == SettingKind::kDescription) {
    char szDescription[4096];
    if (!scm.QueryDescription(hService, szDescription, sizeof(szDescription))) {
      Fail(context, "Could not read the description of " + strName + ". " + ErrorText(context));
      return false;
    }
    *pText = szDescription;
    return true;
  }
  platform::ServiceConfigInfo read;
  if (pKnown == nullptr && !scm.QueryConfig(hService, &read)) {
    Fail(context, "Could not read the configuration of " + strName + ". " + ErrorText(context));
    return false;
  }
  const platform::ServiceConfigInfo& info = pKnown != nullptr ? *pKnown : read;
  switch (kind) {
    case SettingKind::kDisplayName:
      *pText = info.szDisplayName;
      break;
    case SettingKind::kStartup: {
      // A system without delayed starts has none.
      bool bDelayed = false;
      if (!scm.QueryDelayedAutoStart(hService, &bDelayed)) bDelayed = false;
      *pText = StartupWord(info.startType, bDelayed);
      break;
    }
    case SettingKind::kDependencies:
      *pText = JoinList(info.szDependencies);
      // Some systems (Wine) keep the list but leave it out of the configuration they report;
      // the manager's own record of it is the service key's DependOnService value.
      if (pText->empty()) {
        std::uint32_t dwType = 0;
        std::string data;
        if (ReadServiceValue(context, strName, "DependOnService", &dwType, &data) == 0 &&
            dwType == platform::kRegMultiSz) {
          data.push_back('\0');
          *pText = JoinList(data.c_str());
        }
      }
      break;
    case SettingKind::kAccount:
      *pText = info.szStartName;
      break;
    default:
      break;
  }
  return true;
}

}  // namespace

bool ServiceSettingText(CommandContext& context, const std::string& strName, SettingKind kind,
                        std::string* pText) {
  platform::CScHandle manager;
  platform::CScHandle service;
  if (!OpenService(context, strName, platform::kServiceQueryConfig, &manager, &service))
    return false;
  return ReadSetting(context, strName, service.get(), kind, nullptr, pText);
}

bool ServiceSettingTexts(CommandContext& context, const std::string& strName,
                         std::map<SettingKind, std::string>* pTexts, platform::Handle hService,
                         const platform::ServiceConfigInfo* pInfo) {
  platform::CScHandle manager;
  platform::CScHandle service;
  platform::ServiceConfigInfo info;
  if (hService == platform::kNoHandle) {
    if (!OpenService(context, strName, platform::kServiceQueryConfig, &manager, &service)) {
      return false;
    }
    hService = service.get();
    if (!context.scm.QueryConfig(hService, &info)) {
      Fail(context, "Could not read the configuration of " + strName + ". " + ErrorText(context));
      return false;
    }
    pInfo = &info;
  }
  for (SettingKind kind : {SettingKind::kDisplayName, SettingKind::kDescription,
                           SettingKind::kStartup, SettingKind::kDependencies, SettingKind::kAccount,
                           SettingKind::kRecovery, SettingKind::kRecoveryReset}) {
    if (!ReadSetting(context, strName, hService, kind, pInfo, &(*pTexts)[kind])) return false;
  }
  return true;
}

bool ChangeServiceSetting(CommandContext& context, const std::string& strName,
                          const Setting& setting, const SettingData& data) {
  platform::IServiceManager& scm = context.scm;
  platform::CScHandle manager;
  platform::CScHandle service;
  const bool bRecovery =
      setting.kind == SettingKind::kRecovery || setting.kind == SettingKind::kRecoveryReset;
  const std::uint32_t dwAccess = platform::kServiceChangeConfig | platform::kServiceQueryConfig |
                                 (bRecovery ? platform::kServiceStart : 0);
  if (!OpenService(context, strName, dwAccess, &manager, &service)) return false;
  if (bRecovery) return ChangeRecovery(context, strName, service.get(), setting, data);
  // Wine's manager writes a service's whole record again on a configuration change and drops
  // the dependency list unless it is handed one (Windows keeps it): the current list goes
  // with every other change.
  std::string strKept;
  const bool bKeepList = setting.kind == SettingKind::kStartup ||
                         setting.kind == SettingKind::kDisplayName ||
                         setting.kind == SettingKind::kAccount;
  if (bKeepList && !ServiceSettingText(context, strName, SettingKind::kDependencies, &strKept)) {
    return false;
  }
  const svc::CDependencyList kept(context.system, strKept.c_str());
  if (setting.kind == SettingKind::kStartup) {
    return ChangeStartup(context, strName, service.get(), kept.List(), data.startup);
  }
  bool bOk = false;
  platform::ChangeServiceArgs args;
  args.dependencies = kept.List();  // null when there are none: no change
  switch (setting.kind) {
    case SettingKind::kDescription:
      bOk = scm.ChangeDescription(service.get(), data.strText.c_str());
      break;
    case SettingKind::kDisplayName:
      args.displayName = data.strText.c_str();
      bOk = scm.ChangeServiceConfig(service.get(), args);
      break;
    case SettingKind::kDependencies: {
      const svc::CDependencyList list(context.system, data.strText.c_str());
      args.dependencies = list.List() != nullptr ? list.List() : "";
      bOk = scm.ChangeServiceConfig(service.get(), args);
      break;
    }
    case SettingKind::kAccount:
      args.serviceStartName = data.strText.c_str();
      // A virtual or managed account's password is null, as the manager asks; a built-in
      // account's empty, which clears one a user's account left.
      switch (KindOfAccount(data.strText)) {
        case AccountKind::kBuiltIn:
          args.password = "";
          break;
        case AccountKind::kUser:
          args.password = data.strPassword.c_str();
          break;
        case AccountKind::kVirtual:
        case AccountKind::kManaged:
          args.password = nullptr;
          break;
      }
      bOk = scm.ChangeServiceConfig(service.get(), args);
      break;
    default:
      break;
  }
  if (!bOk) {
    Fail(context, "Could not change " + std::string(setting.pszName) + " of " + strName +
                      "; it is as it was. " + ErrorText(context));
  }
  return bOk;
}

void GrantLogonRight(CommandContext& context, const std::string& strAccount, IConsole& lines) {
  const LogonRightOutcome outcome = GrantServiceLogon(context.rights, context.system, strAccount);
  switch (outcome.result) {
    case LogonRight::kGranted:
      lines.Out("Log on as a service granted to " + strAccount + ".");
      return;
    case LogonRight::kAlreadyHeld:
      lines.Out("Log on as a service already held by " + strAccount + ".");
      return;
    case LogonRight::kFailed:
      break;
  }
  context.console.Err("Warning: could not " + std::string(outcome.pszStep) +
                      " to grant \"Log on as a service\" to " + strAccount +
                      "; without it the service does not start (error 1069). " +
                      ErrorText(context, outcome.dwError));
}

}  // namespace qm::cli
