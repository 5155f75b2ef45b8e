// set, get and reset: one setting at a time, checked before anything is written, and written
// in one step (Startup, the one setting of two steps, is put back when its second fails).

#include <cstdio>
#include <cstring>
#include <vector>

#include "cli/cli_tool.h"
#include "cli/stored_parameters.h"
#include "runner/core/runner_settings.h"
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

}  // namespace

long CCommandLineTool::ReadServiceValue(const std::string& strName, const char* pszValue,
                                        std::uint32_t* pdwType, std::string* pData) {
  return ReadValue(std::string(contract::kServicesKeyPath) + "\\" + strName, pszValue, pdwType,
                   pData);
}

long CCommandLineTool::ReadValue(const std::string& strPath, const char* pszValue,
                                 std::uint32_t* pdwType, std::string* pData) {
  svc::Handle hRaw = svc::kNoHandle;
  const long lOpen =
      m_registry.OpenKey(svc::kHKeyLocalMachine, strPath.c_str(), 0, svc::kKeyRead, &hRaw);
  if (lOpen != svc::kErrorSuccess) return lOpen;
  svc::CRegKey key = svc::OwnKey(m_registry, m_system, hRaw);
  std::string strData(contract::kMaxValueBytes, '\0');
  auto cbData = static_cast<std::uint32_t>(strData.size());
  const long lResult = m_registry.QueryValue(
      key.get(), pszValue, pdwType, reinterpret_cast<unsigned char*>(strData.data()), &cbData);
  if (lResult != svc::kErrorSuccess) return lResult;
  strData.resize(cbData);
  *pData = std::move(strData);
  return svc::kErrorSuccess;
}

bool CCommandLineTool::WriteParameter(const std::string& strName, const char* pszValue,
                                      std::uint32_t dwType, const std::string& data) {
  svc::Handle hRaw = svc::kNoHandle;
  const std::string strPath = contract::ParametersKeyPath(strName);
  long lResult =
      m_registry.OpenKey(svc::kHKeyLocalMachine, strPath.c_str(), 0, svc::kKeyWrite, &hRaw);
  if (lResult == svc::kErrorSuccess) {
    svc::CRegKey key = svc::OwnKey(m_registry, m_system, hRaw);
    lResult = m_registry.SetValue(key.get(), pszValue, dwType,
                                  reinterpret_cast<const unsigned char*>(data.data()),
                                  static_cast<std::uint32_t>(data.size()));
  }
  if (lResult == svc::kErrorSuccess) return true;
  Fail("Could not write " + std::string(pszValue) + " of " + strName + ". " +
       ErrorText(static_cast<std::uint32_t>(lResult)));
  return false;
}

bool CCommandLineTool::DeleteParameter(const std::string& strName, const char* pszValue) {
  svc::Handle hRaw = svc::kNoHandle;
  const std::string strPath = contract::ParametersKeyPath(strName);
  long lResult =
      m_registry.OpenKey(svc::kHKeyLocalMachine, strPath.c_str(), 0, svc::kKeyWrite, &hRaw);
  if (lResult == svc::kErrorSuccess) {
    svc::CRegKey key = svc::OwnKey(m_registry, m_system, hRaw);
    lResult = m_registry.DeleteValue(key.get(), pszValue);
  }
  // A value that is not there is at its default already.
  if (lResult == svc::kErrorSuccess || lResult == svc::kErrorFileNotFound) return true;
  Fail("Could not reset " + std::string(pszValue) + " of " + strName + ". " +
       ErrorText(static_cast<std::uint32_t>(lResult)));
  return false;
}

bool CCommandLineTool::ReadRunnerValue(runner::IValueSource& source, const std::string& strName,
                                       const contract::RunnerValue& value,
                                       runner::RunnerSettings* pSettings) {
  runner::RunnerFailure failure;
  if (runner::ReadRunnerValue(source, value, pSettings, &failure)) return true;
  // A value the tool always writes that is missing shows empty, as a half-made key left it.
  if (failure.dwError == runner::kErrorFileNotFound) return true;
  if (failure.dwError == runner::kErrorDatatypeMismatch) {
    Fail(std::string(value.pszName) + " of " + strName +
         " has a type the runner does not accept; set it again.");
  } else {
    Fail("Could not read " + std::string(value.pszName) + " of " + strName + ". " +
         ErrorText(failure.dwError));
  }
  return false;
}

bool CCommandLineTool::RunnerValueText(const std::string& strName,
                                       const contract::RunnerValue& value, std::string* pText,
                                       bool* pbDefault, std::vector<std::string>* pEntries) {
  CStoredParameters source(m_registry, m_system);
  const long lOpen = source.Open(strName);
  if (lOpen != svc::kErrorSuccess && lOpen != svc::kErrorFileNotFound) {
    Fail("Could not read " + std::string(value.pszName) + " of " + strName + ". " +
         ErrorText(static_cast<std::uint32_t>(lOpen)));
    return false;
  }
  runner::RunnerSettings settings;
  if (!ReadRunnerValue(source, strName, value, &settings)) return false;
  *pbDefault = !runner::IsStored(settings, value);
  *pText = runner::RunnerValueText(settings, value);
  if (pEntries != nullptr) {
    const std::vector<std::string>* pList = runner::RunnerValueEntries(settings, value);
    *pEntries = pList != nullptr ? *pList : std::vector<std::string>();
  }
  return true;
}

bool CCommandLineTool::ServiceSettingText(const std::string& strName, SettingKind kind,
                                          std::string* pText) {
  svc::CScHandle manager;
  svc::CScHandle service;
  if (!OpenService(strName, svc::kServiceQueryConfig, &manager, &service)) return false;
  if (kind == SettingKind::kDescription) {
    char szDescription[4096];
    if (!m_scm.QueryDescription(service.get(), szDescription, sizeof(szDescription))) {
      return Fail("Could not read the description of " + strName + ". " + ErrorText()), false;
    }
    *pText = szDescription;
    return true;
  }
  svc::ServiceConfigInfo info;
  if (!m_scm.QueryConfig(service.get(), &info)) {
    return Fail("Could not read the configuration of " + strName + ". " + ErrorText()), false;
  }
  switch (kind) {
    case SettingKind::kDisplayName:
      *pText = info.szDisplayName;
      break;
    case SettingKind::kStartup: {
      // A system without delayed starts has none.
      bool bDelayed = false;
      if (!m_scm.QueryDelayedAutoStart(service.get(), &bDelayed)) bDelayed = false;
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
        if (ReadServiceValue(strName, "DependOnService", &dwType, &data) == 0 &&
            dwType == svc::kRegMultiSz) {
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

int CCommandLineTool::OnGet(const ParsedCommand& cmd) {
  {
    svc::CScHandle manager;
    svc::CScHandle service;
    if (!OpenService(cmd.strName, svc::kServiceQueryConfig, &manager, &service)) {
      return kExitFailure;
    }
  }
  std::vector<Setting> settings;
  if (cmd.strSetting.empty()) {
    settings = AllSettings();
  } else {
    Setting setting;
    if (!FindSetting(cmd.strSetting, &setting)) {
      return Fail("quillmnt: unknown setting \"" + cmd.strSetting + "\" (quillmnt help get)");
    }
    settings.push_back(setting);
  }
  const bool bOne = !cmd.strSetting.empty();
  for (const Setting& setting : settings) {
    std::string strText;
    bool bDefault = false;
    const bool bRead = setting.kind == SettingKind::kRunnerValue
                           ? RunnerValueText(cmd.strName, *setting.pValue, &strText, &bDefault)
                           : ServiceSettingText(cmd.strName, setting.kind, &strText);
    if (!bRead) return kExitFailure;
    if (bOne) {
      m_console.Out(strText);
      continue;
    }
    // Every entry of a list on a line of its own, each named.
    std::string strLines;
    std::size_t nAt = 0;
    do {
      const std::size_t nEnd = strText.find('\n', nAt);
      strLines += std::string(setting.pszName) + " = " + strText.substr(nAt, nEnd - nAt) +
                  (bDefault ? " (default)" : "");
      if (nEnd == std::string::npos) break;
      strLines += '\n';
      nAt = nEnd + 1;
    } while (true);
    m_console.Out(strLines);
  }
  return kExitOk;
}

bool CCommandLineTool::CheckRunnerEdit(const std::string& strName,
                                       const contract::RunnerValue& value,
                                       const runner::StoredValue* pNew) {
  // The settings as the runner reads them at its next start: as stored, then with this edit.
  CStoredParameters stored(m_registry, m_system);
  stored.Open(strName);
  CStoredParameters edited(m_registry, m_system);
  edited.Open(strName);
  if (pNew != nullptr) {
    edited.Set(value.pszName, *pNew);
  } else {
    edited.Erase(value.pszName);
  }
  const auto judge = [](runner::IValueSource& source, runner::RunnerFailure* pFailure) {
    runner::RunnerSettings settings;
    return runner::ReadRunnerSettings(source, &settings, pFailure) &&
           runner::CheckRunnerSettings(settings, pFailure);
  };
  runner::RunnerFailure after;
  if (judge(edited, &after)) return true;
  // A problem that the stored values have already is not this edit's: values are mended one
  // at a time.
  runner::RunnerFailure before;
  if (!judge(stored, &before) && before.kind == after.kind &&
      before.strSubject == after.strSubject && before.strDetail == after.strDetail) {
    return true;
  }
  // Only the edited value can be unreadable after the edit that is not unreadable before.
  Fail("The runner would refuse this: " +
       (after.kind == runner::FailureKind::kValueRefused
            ? after.strDetail
            : "the " + after.strSubject + " value cannot be read") +
       ". Nothing was changed.");
  return false;
}

bool CCommandLineTool::ApplyStartup(const std::string& strName, svc::Handle hService,
                                    const char* pszKeptList, StartupChoice choice) {
  svc::ServiceConfigInfo info;
  if (!m_scm.QueryConfig(hService, &info)) {
    return Fail("Could not read the configuration of " + strName + ". " + ErrorText()), false;
  }
  bool bWasDelayed = false;
  if (!m_scm.QueryDelayedAutoStart(hService, &bWasDelayed)) bWasDelayed = false;
  const bool bDelayed = choice == StartupChoice::kDelayedAuto;

  svc::ChangeServiceArgs args;
  args.startType = StartTypeOf(choice);
  args.dependencies = pszKeptList;
  if (!m_scm.ChangeServiceConfig(hService, args)) {
    return Fail("Could not change the startup of " + strName + ". " + ErrorText()), false;
  }
  if (bDelayed != bWasDelayed && (bDelayed || args.startType == svc::kServiceAutoStart) &&
      !m_scm.ChangeDelayedAutoStart(hService, bDelayed)) {
    const std::string strError = ErrorText();
    svc::ChangeServiceArgs undo;
    undo.startType = info.startType;
    undo.dependencies = pszKeptList;
    m_scm.ChangeServiceConfig(hService, undo);
    return Fail("Could not change the delayed start of " + strName +
                "; its startup is as it was. " + strError),
           false;
  }
  return true;
}

bool CCommandLineTool::ApplySetting(const std::string& strName, const Setting& setting,
                                    const SettingData& data) {
  if (setting.kind == SettingKind::kRunnerValue) {
    const contract::RunnerValue& value = *setting.pValue;
    const runner::StoredValue stored =
        value.type == contract::ValueType::kDword         ? DwordValue(data.dwValue)
        : value.type == contract::ValueType::kMultiString ? ListValue(data.strList)
                                                          : StringValue(data.strText);
    return CheckRunnerEdit(strName, value, &stored) &&
           WriteParameter(strName, value.pszName, stored.dwType, stored.data);
  }
  svc::CScHandle manager;
  svc::CScHandle service;
  if (!OpenService(strName, svc::kServiceChangeConfig | svc::kServiceQueryConfig, &manager,
                   &service)) {
    return false;
  }
  // Wine's manager writes a service's whole record again on a configuration change and drops
  // the dependency list unless it is handed one (Windows keeps it): the current list goes
  // with every other change.
  std::string strKept;
  const bool bKeepList = setting.kind == SettingKind::kStartup ||
                         setting.kind == SettingKind::kDisplayName ||
                         setting.kind == SettingKind::kAccount;
  if (bKeepList && !ServiceSettingText(strName, SettingKind::kDependencies, &strKept)) {
    return false;
  }
  const svc::CDependencyList kept(m_system, strKept.c_str());
  if (setting.kind == SettingKind::kStartup) {
    return ApplyStartup(strName, service.get(), kept.List(), data.startup);
  }
  bool bOk = false;
  svc::ChangeServiceArgs args;
  args.dependencies = kept.List();  // null when there are none: no change
  switch (setting.kind) {
    case SettingKind::kDescription:
      bOk = m_scm.ChangeDescription(service.get(), data.strText.c_str());
      break;
    case SettingKind::kDisplayName:
      args.displayName = data.strText.c_str();
      bOk = m_scm.ChangeServiceConfig(service.get(), args);
      break;
    case SettingKind::kDependencies: {
      const svc::CDependencyList list(m_system, data.strText.c_str());
      args.dependencies = list.List() != nullptr ? list.List() : "";
      bOk = m_scm.ChangeServiceConfig(service.get(), args);
      break;
    }
    case SettingKind::kAccount:
      args.serviceStartName = data.strText.c_str();
      args.password = data.strPassword.c_str();
      bOk = m_scm.ChangeServiceConfig(service.get(), args);
      break;
    default:
      break;
  }
  if (!bOk) {
    Fail("Could not change " + std::string(setting.pszName) + " of " + strName +
         "; it is as it was. " + ErrorText());
  }
  return bOk;
}

int CCommandLineTool::OnSet(const ParsedCommand& cmd) {
  Setting setting;
  if (!FindSetting(cmd.strSetting, &setting)) {
    return Fail("quillmnt: unknown setting \"" + cmd.strSetting + "\" (quillmnt help set)");
  }
  SettingData data;
  std::string strError;
  if (!ParseSettingData(setting, cmd.strRawData, cmd.data, &data, &strError)) {
    return Fail(strError + "; nothing was changed.");
  }
  if (!CheckOwnService(cmd.strName)) return kExitFailure;
  if (!ApplySetting(cmd.strName, setting, data)) return kExitFailure;
  m_console.Out(std::string(setting.pszName) + " of " + cmd.strName + " set.");
  return kExitOk;
}

int CCommandLineTool::OnReset(const ParsedCommand& cmd) {
  Setting setting;
  if (!FindSetting(cmd.strSetting, &setting)) {
    return Fail("quillmnt: unknown setting \"" + cmd.strSetting + "\" (quillmnt help reset)");
  }
  if (!CheckOwnService(cmd.strName)) return kExitFailure;
  bool bOk = false;
  SettingData data;
  switch (setting.kind) {
    case SettingKind::kRunnerValue:
      if (setting.pValue->pszName == std::string_view(contract::value::kRunfile)) {
        return Fail("Runfile has no default; set it to the program instead.");
      }
      // The values the runner needs are reset to empty; the others are deleted.
      if (setting.pValue->bRequired) {
        const runner::StoredValue empty = StringValue("");
        bOk = CheckRunnerEdit(cmd.strName, *setting.pValue, &empty) &&
              WriteParameter(cmd.strName, setting.pValue->pszName, empty.dwType, empty.data);
      } else {
        bOk = CheckRunnerEdit(cmd.strName, *setting.pValue, nullptr) &&
              DeleteParameter(cmd.strName, setting.pValue->pszName);
      }
      break;
    case SettingKind::kDisplayName:
      data.strText = cmd.strName;
      bOk = ApplySetting(cmd.strName, setting, data);
      break;
    case SettingKind::kStartup:
      data.startup = StartupChoice::kAuto;
      bOk = ApplySetting(cmd.strName, setting, data);
      break;
    case SettingKind::kAccount:
      data.strText = contract::kLocalSystem;
      bOk = ApplySetting(cmd.strName, setting, data);
      break;
    case SettingKind::kDescription:
    case SettingKind::kDependencies:
      bOk = ApplySetting(cmd.strName, setting, data);
      break;
  }
  if (!bOk) return kExitFailure;
  m_console.Out(std::string(setting.pszName) + " of " + cmd.strName + " reset.");
  return kExitOk;
}

}  // namespace qm::cli
