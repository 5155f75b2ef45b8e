// set, get and reset: one setting at a time, checked before anything is written, and written
// in one step (Startup, the one setting of two steps, is put back when its second fails).

#include <cstdio>
#include <cstring>
#include <vector>

#include "cli/cli_tool.h"
#include "runner/core/run_parameters.h"
#include "runner/core/run_settings.h"
#include "service/dependency_list.h"

namespace qm::cli {

namespace {

// The runner reads no value longer than this.
constexpr std::uint32_t kMaxValueBytes = 64 * 1024;

std::string DwordBytes(std::uint32_t dwValue) {
  std::string strBytes(4, '\0');
  std::memcpy(strBytes.data(), &dwValue, 4);
  return strBytes;
}

// A registry string's text: up to its first NUL (a value stored without one is whole).
std::string StringOf(const std::string& data) {
  return data.substr(0, data.find('\0'));
}

// The entries of a multi-string value.
std::vector<std::string> EntriesOf(const std::string& data) {
  std::vector<std::string> entries;
  std::size_t nAt = 0;
  while (nAt < data.size() && data[nAt] != '\0') {
    const std::size_t nEnd = data.find('\0', nAt);
    entries.push_back(data.substr(nAt, nEnd == std::string::npos ? std::string::npos : nEnd - nAt));
    if (nEnd == std::string::npos) break;
    nAt = nEnd + 1;
  }
  return entries;
}

std::string JoinList(const char* list) {
  std::string strText;
  for (const char* p = list; p != nullptr && *p != '\0'; p += std::strlen(p) + 1) {
    if (!strText.empty()) strText.push_back(';');
    strText += p;
  }
  return strText;
}

}  // namespace

long CCommandLineTool::ReadParameter(const std::string& strName, const char* pszValue,
                                     std::uint32_t* pdwType, std::string* pData) {
  return ReadValue(contract::ParametersKeyPath(strName), pszValue, pdwType, pData);
}

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
  std::string strData(kMaxValueBytes, '\0');
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

bool CCommandLineTool::RunnerValueText(const std::string& strName,
                                       const contract::RunnerValue& value, std::string* pText,
                                       bool* pbDefault, std::vector<std::string>* pEntries) {
  if (pEntries != nullptr) pEntries->clear();
  std::uint32_t dwType = 0;
  std::string data;
  const long lResult = ReadParameter(strName, value.pszName, &dwType, &data);
  *pbDefault = lResult == svc::kErrorFileNotFound;
  if (*pbDefault) {
    char szDefault[16];
    std::snprintf(szDefault, sizeof(szDefault), "%u", static_cast<unsigned>(value.dwDefault));
    *pText = value.type == contract::ValueType::kDword ? szDefault
             : value.pszDefault != nullptr             ? value.pszDefault
                                                       : "";
    return true;
  }
  if (lResult != svc::kErrorSuccess) {
    Fail("Could not read " + std::string(value.pszName) + " of " + strName + ". " +
         ErrorText(static_cast<std::uint32_t>(lResult)));
    return false;
  }
  const bool bTypeOk = value.type == contract::ValueType::kDword
                           ? dwType == svc::kRegDword && data.size() == 4
                       : value.type == contract::ValueType::kMultiString
                           ? dwType == svc::kRegMultiSz
                           : dwType == svc::kRegSz || dwType == svc::kRegExpandSz;
  if (!bTypeOk) {
    Fail(std::string(value.pszName) + " of " + strName +
         " has a type the runner does not accept; set it again.");
    return false;
  }
  if (value.type == contract::ValueType::kDword) {
    std::uint32_t dwValue = 0;
    std::memcpy(&dwValue, data.data(), 4);
    *pText = std::to_string(dwValue);
  } else if (value.type == contract::ValueType::kMultiString) {
    pText->clear();
    for (const std::string& strEntry : EntriesOf(data)) *pText += strEntry + '\n';
    if (!pText->empty()) pText->pop_back();
    if (pEntries != nullptr) *pEntries = EntriesOf(data);
  } else {
    *pText = StringOf(data);
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

bool CCommandLineTool::CheckRunSettings(const std::string& strName, const char* pszValue,
                                        const SettingData& data) {
  namespace value = contract::value;
  // The values as the runner reads them at its next start: as stored, then with this one.
  runner::RunSettingValues stored;
  std::string* const texts[] = {&stored.strRestart, &stored.strPriority};
  const char* const textNames[] = {value::kRestart, value::kPriority};
  std::uint32_t* const dwords[] = {&stored.dwRestartDelayMs, &stored.dwRestartDelayMaxMs,
                                   &stored.dwRestartLimit};
  const char* const dwordNames[] = {value::kRestartDelay, value::kRestartDelayMax,
                                    value::kRestartLimit};
  std::uint32_t dwType = 0;
  std::string strStored;
  for (std::size_t i = 0; i < std::size(texts); ++i) {
    if (ReadParameter(strName, textNames[i], &dwType, &strStored) == 0)
      *texts[i] = StringOf(strStored);
  }
  for (std::size_t i = 0; i < std::size(dwords); ++i) {
    if (ReadParameter(strName, dwordNames[i], &dwType, &strStored) == 0 && strStored.size() == 4) {
      std::memcpy(dwords[i], strStored.data(), 4);
    }
  }
  if (ReadParameter(strName, value::kEnvironment, &dwType, &strStored) == 0) {
    stored.environment = EntriesOf(strStored);
  }

  runner::RunSettingValues after = stored;
  const std::string_view name = pszValue;
  if (name == value::kRestart) {
    after.strRestart = data.strText;
  } else if (name == value::kPriority) {
    after.strPriority = data.strText;
  } else if (name == value::kRestartDelay) {
    after.dwRestartDelayMs = data.dwValue;
  } else if (name == value::kRestartDelayMax) {
    after.dwRestartDelayMaxMs = data.dwValue;
  } else if (name == value::kRestartLimit) {
    after.dwRestartLimit = data.dwValue;
  } else if (name == value::kEnvironment) {
    after.environment = EntriesOf(data.strList);
  } else {
    return true;  // not one of these values
  }
  runner::RunSettings settings;
  std::string strProblem;
  if (runner::MakeRunSettings(after, settings, strProblem)) return true;
  // A problem that the stored values have already is not this edit's: values are mended
  // one at a time.
  std::string strStoredProblem;
  if (!runner::MakeRunSettings(stored, settings, strStoredProblem) &&
      strStoredProblem == strProblem) {
    return true;
  }
  Fail("The runner would refuse this: " + strProblem + ". Nothing was changed.");
  return false;
}

bool CCommandLineTool::CheckWithRunner(const std::string& strName, const char* pszValue,
                                       const SettingData& data) {
  namespace value = contract::value;
  const std::string_view name = pszValue;
  if (name != value::kRunfile && name != value::kArguments && name != value::kStopTimeout) {
    return true;
  }
  runner::RunParameters stored;
  std::uint32_t dwType = 0;
  std::string strStored;
  if (ReadParameter(strName, value::kRunfile, &dwType, &strStored) == 0) {
    stored.strRunfile = StringOf(strStored);
  }
  if (ReadParameter(strName, value::kArguments, &dwType, &strStored) == 0) {
    stored.strArguments = StringOf(strStored);
  }
  if (ReadParameter(strName, value::kStopTimeout, &dwType, &strStored) == 0 &&
      strStored.size() == 4) {
    std::memcpy(&stored.dwStopTimeoutMs, strStored.data(), 4);
  }
  runner::RunParameters after = stored;
  if (name == value::kRunfile) after.strRunfile = data.strText;
  if (name == value::kArguments) after.strArguments = data.strText;
  if (name == value::kStopTimeout) after.dwStopTimeoutMs = data.dwValue;
  const runner::ParameterProblem problem = runner::CheckParameters(after);
  // A problem the stored values have already is not this edit's (see CheckRunSettings).
  if (problem == runner::ParameterProblem::kNone || runner::CheckParameters(stored) == problem) {
    return true;
  }
  Fail(std::string("The runner would refuse this ") + pszValue + ": " +
       runner::DescribeProblem(problem) + ". Nothing was changed.");
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
    if (!CheckRunSettings(strName, value.pszName, data) ||
        !CheckWithRunner(strName, value.pszName, data)) {
      return false;
    }
    switch (value.type) {
      case contract::ValueType::kDword:
        return WriteParameter(strName, value.pszName, svc::kRegDword, DwordBytes(data.dwValue));
      case contract::ValueType::kMultiString:
        return WriteParameter(strName, value.pszName, svc::kRegMultiSz, data.strList + '\0');
      case contract::ValueType::kString:
        return WriteParameter(strName, value.pszName, svc::kRegSz, data.strText + '\0');
    }
    return false;
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
      bOk = setting.pValue->bRequired ? WriteParameter(cmd.strName, setting.pValue->pszName,
                                                       svc::kRegSz, std::string(1, '\0'))
                                      : DeleteParameter(cmd.strName, setting.pValue->pszName);
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
