#include "cli/services_file.h"

#include <map>
#include <set>

#include "cli/json.h"
#include "cli/recovery_list.h"
#include "cli/service_account.h"
#include "cli/service_words.h"
#include "cli/stored_parameters.h"
#include "common/ascii_case.h"

namespace qm::cli {

namespace {

constexpr const char* kServicesKey = "services";
constexpr const char* kNameKey = "Name";
constexpr const char* kEnsureKey = "Ensure";
constexpr const char* kPasswordFromKey = "AccountPasswordFrom";
constexpr const char* kEnvironmentPrefix = "env:";
constexpr const char* kEnsureWords[] = {"present", "absent"};

bool Refuse(std::string* pError, std::string strText) {
  *pError = std::move(strText);
  return false;
}

std::string Folded(std::string_view text) {
  std::string strFolded(text);
  for (char& ch : strFolded) {
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  }
  return strFolded;
}

// A piece of the file as an error line shows it: JSON, ASCII, cut short.
std::string Shown(const Json& json) {
  std::string strText = JsonText(json, false);
  if (strText.size() > 60) strText = strText.substr(0, 57) + "...";
  return strText;
}

std::string TypeOf(const Json& json) {
  if (json.is_string()) return "a text";
  if (json.is_number()) return "a number";
  if (json.is_array()) return "a list";
  if (json.is_object()) return "an object";
  if (json.is_boolean()) return "true or false";
  return "null";
}

// Notes the first key that an object of the file holds twice, in any letter case: the library
// keeps only one of them, and which one the user meant cannot be known.
class CDuplicateKeys {
 public:
  bool OnEvent(Json::parse_event_t event, const Json& parsed) {
    using Event = Json::parse_event_t;
    switch (event) {
      case Event::object_start:
      case Event::array_start:
        m_frames.push_back({event == Event::array_start, 0, {}});
        break;
      case Event::key:
        if (!m_frames.back().keys.insert(Folded(parsed.get<std::string>())).second && !m_bFound) {
          m_bFound = true;
          m_strKey = parsed.get<std::string>();
          // Inside an entry of the services: which one.
          m_nService = m_frames.size() >= 3 && m_frames[1].bArray ? m_frames[1].cDone + 1 : 0;
        }
        break;
      case Event::object_end:
      case Event::array_end:
        m_frames.pop_back();
        ElementDone();
        break;
      case Event::value:
        ElementDone();
        break;
    }
    return true;
  }
  bool Found() const { return m_bFound; }
  std::size_t Service() const { return m_nService; }  // 1-based; 0: not inside one
  const std::string& Key() const { return m_strKey; }

 private:
  struct Frame {
    bool bArray;
    std::size_t cDone;  // an array's elements read so far
    std::set<std::string> keys;
  };
  void ElementDone() {
    if (!m_frames.empty() && m_frames.back().bArray) ++m_frames.back().cDone;
  }
  std::vector<Frame> m_frames;
  bool m_bFound = false;
  std::size_t m_nService = 0;
  std::string m_strKey;
};

// The document, read by the library; a UTF-16 file (what PowerShell's ">" writes) is read as
// such. False with the library's account of where it stopped.
bool ParseDocument(std::string_view text, Json* pRoot, CDuplicateKeys* pDuplicates,
                   std::string* pError) {
  const auto callback = [pDuplicates](int, Json::parse_event_t event, Json& parsed) {
    return pDuplicates->OnEvent(event, parsed);
  };
  try {
    if (text.size() >= 2 && text[0] == '\xFF' && text[1] == '\xFE') {
      std::u16string wide;
      for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
        wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(text[i]) |
                                             static_cast<unsigned char>(text[i + 1]) << 8));
      }
      *pRoot = Json::parse(wide, callback);
    } else {
      *pRoot = Json::parse(text.begin(), text.end(), callback);
    }
  } catch (const Json::exception& e) {
    // "[json.exception.parse_error.101] parse error at line 3, column 5: syntax error ..."
    const std::string strWhat = e.what();
    const std::size_t nAt = strWhat.find("] ");
    return Refuse(pError, nAt == std::string::npos ? strWhat : strWhat.substr(nAt + 2));
  }
  return true;
}

// A text of the file in the ANSI code page, without NUL characters.
bool TextOf(CommandContext& context, const Json& json, const std::string& strWhat,
            std::string* pText, std::string* pError) {
  if (!json.is_string()) {
    return Refuse(pError,
                  strWhat + " takes a text, not " + TypeOf(json) + " (" + Shown(json) + ")");
  }
  if (!context.utf8CodePage.ToAnsi(json.get_ref<const std::string&>(), pText)) {
    return Refuse(pError, strWhat +
                              " holds a character that this system's ANSI code page cannot "
                              "hold: " +
                              Shown(json));
  }
  if (pText->find('\0') != std::string::npos) {
    return Refuse(pError, strWhat + " holds a NUL character");
  }
  return true;
}

// The name as a service of the file may have it: it goes from machine to machine, whatever
// their code pages, and becomes a registry key's name.
bool CheckName(const Json& json, std::string* pName, std::string* pError) {
  if (!json.is_string()) {
    return Refuse(pError, "Name takes a text, not " + TypeOf(json) + " (" + Shown(json) + ")");
  }
  const std::string& strName = json.get_ref<const std::string&>();
  for (char ch : strName) {
    const auto uch = static_cast<unsigned char>(ch);
    if (uch <= 0x20 || uch >= 0x7F || ch == '/' || ch == '\\') {
      return Refuse(pError, "the name " + Shown(json) +
                                " holds a character other than a printable ASCII one (blanks, "
                                "slashes and backslashes are not taken either)");
    }
  }
  *pName = strName;
  return CheckNameLength(strName, pError);
}

// The data of a setting that a file gives, as set takes it, with its value.
bool ReadSetting(CommandContext& context, const Setting& setting, const Json& json,
                 const std::string& strPassword, SettingData* pData, SettingValue* pValue,
                 std::string* pError) {
  const std::string strName = setting.pszName;
  std::vector<Token> tokens;
  std::string strRaw;
  switch (ShapeOf(setting)) {
    case ValueShape::kNumber:
      if (!json.is_number_unsigned() || json.get<std::uint64_t>() > 0xFFFFFFFFull) {
        return Refuse(pError,
                      strName + " takes a whole number from 0 to 4294967295, not " + Shown(json));
      }
      tokens.push_back({std::to_string(json.get<std::uint64_t>()), 0});
      break;
    case ValueShape::kText:
      if (!TextOf(context, json, strName, &strRaw, pError)) return false;
      tokens.push_back({strRaw, 0});
      if (setting.kind == SettingKind::kAccount && AccountNeedsPassword(AccountName(strRaw))) {
        tokens.push_back({strPassword, 0});
      }
      break;
    case ValueShape::kList:
      if (!json.is_array()) {
        return Refuse(pError, strName + " takes a list of texts, not " + TypeOf(json) + " (" +
                                  Shown(json) + ")");
      }
      for (const Json& entry : json) {
        std::string strEntry;
        if (!TextOf(context, entry, strName + "'s entry", &strEntry, pError)) return false;
        if (setting.kind == SettingKind::kDependencies &&
            (strEntry.empty() || strEntry.find(';') != std::string::npos)) {
          return Refuse(pError,
                        "Dependencies takes one service name an entry, not " + Shown(entry));
        }
        tokens.push_back({strEntry, 0});
      }
      // An empty list: no entries (an Environment stored so stays stored).
      if (tokens.empty()) {
        *pData = SettingData{};
        *pValue = std::vector<std::string>();
        return true;
      }
      break;
  }
  if (!ParseSettingData(setting, strRaw, tokens, pData, pError)) return false;
  *pValue = ValueOfData(setting, *pData);
  return true;
}

// The password of a user account, from the environment variable the entry names.
bool ReadPassword(CommandContext& context, const Json* pAccount, const Json* pFrom,
                  std::string* pPassword, std::string* pError) {
  const bool bUser = pAccount != nullptr && pAccount->is_string() &&
                     AccountNeedsPassword(AccountName(pAccount->get_ref<const std::string&>()));
  if (pFrom == nullptr) {
    if (!bUser) return true;
    return Refuse(pError, "the account " + Shown(*pAccount) +
                              " needs its password: name the environment variable that holds "
                              "it, \"AccountPasswordFrom\": \"env:NAME\"");
  }
  if (!bUser) {
    return Refuse(pError, std::string(kPasswordFromKey) +
                              " is only for a user's account, which needs a password");
  }
  const std::string strFrom = pFrom->is_string() ? pFrom->get<std::string>() : std::string();
  if (!StartsWithIgnoringCase(strFrom, kEnvironmentPrefix) ||
      strFrom.size() == std::string_view(kEnvironmentPrefix).size()) {
    return Refuse(pError, std::string(kPasswordFromKey) +
                              " takes \"env:NAME\", an environment variable, not " + Shown(*pFrom));
  }
  const std::string strVariable = strFrom.substr(std::string_view(kEnvironmentPrefix).size());
  if (!context.applyInput.GetVariable(strVariable, pPassword)) {
    return Refuse(pError, "the environment variable " + strVariable +
                              " that is to hold the account's password is not set");
  }
  return true;
}

// One entry of the services; nService counts from 1.
bool ReadEntry(CommandContext& context, const Json& object, std::size_t nService,
               ServiceEntry* pEntry, std::string* pError) {
  std::string strWhere = "service " + std::to_string(nService);
  if (!object.is_object()) {
    return Refuse(pError, strWhere + " is " + TypeOf(object) + ", not an object {...}");
  }
  const std::vector<Setting> settings = AllSettings();
  std::vector<const Json*> given(settings.size(), nullptr);
  const Json* pName = nullptr;
  const Json* pEnsure = nullptr;
  const Json* pPasswordFrom = nullptr;
  std::string strUnknown;
  for (const auto& [strKey, value] : object.items()) {
    Setting setting;
    if (EqualsIgnoringCase(strKey, kNameKey)) {
      pName = &value;
    } else if (EqualsIgnoringCase(strKey, kEnsureKey)) {
      pEnsure = &value;
    } else if (EqualsIgnoringCase(strKey, kPasswordFromKey)) {
      pPasswordFrom = &value;
    } else if (FindSetting(strKey, &setting)) {
      for (std::size_t i = 0; i < settings.size(); ++i) {
        if (settings[i].pszName == setting.pszName) given[i] = &value;
      }
    } else if (strUnknown.empty()) {
      strUnknown = Shown(Json(strKey));
    }
  }
  if (pName == nullptr) return Refuse(pError, strWhere + " has no Name");
  if (!CheckName(*pName, &pEntry->strName, pError)) {
    return Refuse(pError, strWhere + ": " + *pError);
  }
  strWhere += " (" + pEntry->strName + ")";
  if (!strUnknown.empty()) {
    return Refuse(pError, strWhere + ": unknown key " + strUnknown +
                              " (the keys are Name, Ensure, AccountPasswordFrom and the settings "
                              "of quillmnt help set)");
  }
  if (pEnsure != nullptr) {
    const std::string strEnsure = pEnsure->is_string() ? pEnsure->get<std::string>() : "";
    if (!EqualsIgnoringCase(strEnsure, kEnsureWords[0]) &&
        !EqualsIgnoringCase(strEnsure, kEnsureWords[1])) {
      return Refuse(pError,
                    strWhere + ": Ensure takes \"present\" or \"absent\", not " + Shown(*pEnsure));
    }
    pEntry->bAbsent = EqualsIgnoringCase(strEnsure, kEnsureWords[1]);
  }
  if (pEntry->bAbsent) return true;

  std::string strPassword;
  const Json* pAccount = nullptr;
  for (std::size_t i = 0; i < settings.size(); ++i) {
    if (settings[i].kind == SettingKind::kAccount) pAccount = given[i];
  }
  if (!ReadPassword(context, pAccount, pPasswordFrom, &strPassword, pError)) {
    return Refuse(pError, strWhere + ": " + *pError);
  }
  // Every setting: the file's, or its default; and the runner's values as the runner will
  // read them at the service's next start.
  CStoredParameters runnerValues(context.registry, context.system);
  for (std::size_t i = 0; i < settings.size(); ++i) {
    const Setting& setting = settings[i];
    SettingState state = DefaultState(setting, pEntry->strName);
    SettingData data = DefaultData(setting, pEntry->strName);
    if (given[i] != nullptr) {
      const std::string& strSecret = setting.kind == SettingKind::kAccount ? strPassword : "";
      if (!ReadSetting(context, setting, *given[i], strSecret, &data, &state.value, pError)) {
        return Refuse(pError, strWhere + ": " + *pError);
      }
      state.bStored = true;
    } else if (setting.pValue != nullptr &&
               setting.pValue->pszName == std::string_view(contract::value::kRunfile)) {
      return Refuse(pError, strWhere + " has no Runfile: the program is needed");
    }
    if (setting.kind == SettingKind::kRunnerValue && state.bStored) {
      runnerValues.Set(setting.pszName, StoredValueOf(*setting.pValue, data));
    }
    pEntry->desired.push_back(std::move(state));
    pEntry->data.push_back(std::move(data));
  }
  pEntry->bRecoveryKept = true;
  for (std::size_t i = 0; i < settings.size(); ++i) {
    const bool bRecovery = settings[i].kind == SettingKind::kRecovery ||
                           settings[i].kind == SettingKind::kRecoveryReset;
    if (bRecovery && given[i] != nullptr) pEntry->bRecoveryKept = false;
  }
  // The manager keeps a period only with a list of actions.
  for (std::size_t i = 0; i < settings.size(); ++i) {
    if (settings[i].kind != SettingKind::kRecoveryReset || given[i] == nullptr) continue;
    for (std::size_t j = 0; j < settings.size(); ++j) {
      if (settings[j].kind == SettingKind::kRecovery &&
          std::get<std::string>(pEntry->desired[j].value) == kNoRecovery &&
          std::get<std::uint32_t>(pEntry->desired[i].value) != kDefaultRecoveryResetSeconds) {
        return Refuse(pError, strWhere +
                                  ": RecoveryReset counts the failures of a Recovery list, and "
                                  "the entry has none");
      }
    }
  }
  runner::RunnerFailure failure;
  if (!RunnerWouldAccept(runnerValues, &failure)) {
    return Refuse(pError, strWhere + ": the runner would refuse this: " +
                              (failure.kind == runner::FailureKind::kValueRefused
                                   ? failure.strDetail
                                   : "the " + failure.strSubject + " value cannot be read"));
  }
  return true;
}

// The name an exported user account's password is to come from: MyApp's MYAPP_PASSWORD.
std::string PasswordVariable(const std::string& strName) {
  std::string strVariable;
  for (char ch : strName) {
    const bool bAlnum =
        (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
    strVariable.push_back(!bAlnum ? '_' : ch >= 'a' ? static_cast<char>(ch - 'a' + 'A') : ch);
  }
  return strVariable + "_PASSWORD";
}

}  // namespace

std::vector<std::size_t> FileOrder() {
  const std::vector<Setting> settings = AllSettings();
  std::vector<std::size_t> order;
  for (bool bRunner : {false, true}) {
    for (std::size_t i = 0; i < settings.size(); ++i) {
      if ((settings[i].kind == SettingKind::kRunnerValue) == bRunner) order.push_back(i);
    }
  }
  return order;
}

bool ReadServicesFile(CommandContext& context, std::string_view text,
                      std::vector<ServiceEntry>* pEntries, std::string* pError) {
  Json root;
  CDuplicateKeys duplicates;
  if (!ParseDocument(text, &root, &duplicates, pError)) return false;
  if (duplicates.Found()) {
    const std::string strKey = Shown(Json(duplicates.Key()));
    if (duplicates.Service() == 0) return Refuse(pError, "the key " + strKey + " appears twice");
    std::string strWhere = "service " + std::to_string(duplicates.Service());
    // Named, when the file is as it should be around the key.
    const Json services = root.is_object() && !root.empty() ? root.begin().value() : Json();
    if (services.is_array() && services.size() >= duplicates.Service()) {
      const Json& entry = services[duplicates.Service() - 1];
      for (const auto& [strEntryKey, value] : entry.items()) {
        std::string strName;
        std::string strIgnored;
        if (EqualsIgnoringCase(strEntryKey, kNameKey)) {
          strWhere +=
              " (" + (CheckName(value, &strName, &strIgnored) ? strName : Shown(value)) + ")";
        }
      }
    }
    return Refuse(pError, strWhere + ": the key " + strKey + " appears twice");
  }
  const Json* pServices = nullptr;
  if (root.is_object() && root.size() == 1 &&
      EqualsIgnoringCase(root.begin().key(), kServicesKey)) {
    pServices = &root.begin().value();
  }
  if (pServices == nullptr || !pServices->is_array()) {
    return Refuse(pError,
                  "the file holds one object, {\"services\": [...]}, with one entry a "
                  "service");
  }
  pEntries->clear();
  std::map<std::string, std::size_t, CaseBlindLess> seen;
  for (const Json& object : *pServices) {
    ServiceEntry entry;
    const std::size_t nService = pEntries->size() + 1;
    if (!ReadEntry(context, object, nService, &entry, pError)) return false;
    const auto [it, bNew] = seen.emplace(entry.strName, nService);
    if (!bNew) {
      return Refuse(pError, "service " + std::to_string(nService) + " (" + entry.strName +
                                "): the service is named already by service " +
                                std::to_string(it->second));
    }
    pEntries->push_back(std::move(entry));
  }
  return true;
}

bool ValueToJson(CommandContext& context, const SettingValue& value, Json* pJson) {
  const auto utf8 = [&context](const std::string& strAnsi, Json* pText) {
    std::string strUtf8;
    if (!context.utf8CodePage.FromAnsi(strAnsi, &strUtf8)) return false;
    *pText = std::move(strUtf8);
    return true;
  };
  if (const auto* pNumber = std::get_if<std::uint32_t>(&value)) {
    *pJson = *pNumber;
    return true;
  }
  if (const auto* pText = std::get_if<std::string>(&value)) return utf8(*pText, pJson);
  *pJson = Json::array();
  for (const std::string& strEntry : std::get<std::vector<std::string>>(value)) {
    Json entry;
    if (!utf8(strEntry, &entry)) return false;
    pJson->push_back(std::move(entry));
  }
  return true;
}

bool WriteServiceObject(CommandContext& context, const std::string& strName,
                        const ServiceState& state, bool bAll, Json* pObject) {
  *pObject = Json::object();
  Json name;
  if (!ValueToJson(context, strName, &name)) {
    Fail(context,
         "The name " + strName + " holds bytes that are no text of this system's code page.");
    return false;
  }
  (*pObject)[kNameKey] = std::move(name);
  const std::vector<Setting> settings = AllSettings();
  for (std::size_t i : FileOrder()) {
    const Setting& setting = settings[i];
    const bool bAlways = setting.kind == SettingKind::kStartup ||
                         (setting.pValue != nullptr &&
                          setting.pValue->pszName == std::string_view(contract::value::kRunfile));
    if (!bAll && !bAlways && SameState(setting, state[i], DefaultState(setting, strName))) {
      continue;
    }
    Json value;
    if (!ValueToJson(context, state[i].value, &value)) {
      Fail(context, std::string(setting.pszName) + " of " + strName +
                        " holds bytes that are no text of this system's code page.");
      return false;
    }
    (*pObject)[setting.pszName] = std::move(value);
    if (!bAll && setting.kind == SettingKind::kAccount &&
        AccountNeedsPassword(std::get<std::string>(state[i].value))) {
      (*pObject)[kPasswordFromKey] = kEnvironmentPrefix + PasswordVariable(strName);
    }
  }
  return true;
}

}  // namespace qm::cli
