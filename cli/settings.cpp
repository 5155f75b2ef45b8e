#include "cli/settings.h"
#include "cli/recovery_list.h"
#include "cli/service_account.h"
#include "cli/service_words.h"

#include "common/ascii_case.h"

#include <cstdlib>

namespace qm::cli {

namespace {

struct ServiceSettingKind {
  const char* pszName;
  SettingKind kind;
};
constexpr ServiceSettingKind kServiceKinds[] = {
    {setting::kDisplayName, SettingKind::kDisplayName},
    {setting::kDescription, SettingKind::kDescription},
    {setting::kStartup, SettingKind::kStartup},
    {setting::kDependencies, SettingKind::kDependencies},
    {setting::kAccount, SettingKind::kAccount},
    {setting::kRecovery, SettingKind::kRecovery},
    {setting::kRecoveryReset, SettingKind::kRecoveryReset}};
static_assert(std::size(kServiceKinds) == std::size(kServiceSettings));

// Display names and account names the system keeps: at most 256 characters.
constexpr std::size_t kMaxNameText = 256;
constexpr std::size_t kMaxDescription = 2048;

std::string JoinTokens(const std::vector<Token>& tokens, char chSeparator) {
  std::string strJoined;
  for (const Token& token : tokens) {
    if (!strJoined.empty()) strJoined.push_back(chSeparator);
    strJoined += token.strText;
  }
  return strJoined;
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

bool Refuse(std::string* error, std::string strText) {
  *error = std::move(strText);
  return false;
}

bool ParseRunnerData(const contract::RunnerValue& value, std::string_view raw,
                     const std::vector<Token>& tokens, SettingData* data, std::string* error) {
  const std::string strName = value.pszName;
  switch (value.type) {
    case contract::ValueType::kDword:
      if (tokens.size() != 1 || !ParseDword(tokens[0].strText, &data->dwValue)) {
        return Refuse(error, strName + " takes one whole number from 0 to 4294967295");
      }
      return true;
    case contract::ValueType::kMultiString:
      // One entry per argument; the runner takes NAME=value entries.
      for (const Token& token : tokens) {
        const std::size_t nEq = token.strText.find('=');
        if (nEq == 0 || nEq == std::string::npos) {
          return Refuse(error, strName + " entries are NAME=value, not \"" + token.strText + "\"");
        }
        data->strList += token.strText;
        data->strList.push_back('\0');
      }
      return true;
    case contract::ValueType::kString:
      break;
  }
  // Arguments go to the program exactly as typed, and so do the checks (an exec: command
  // line, an output: text) unless quoted whole (no check begins with a quote); other texts
  // are one argument, or several joined by one blank.
  const std::string_view name = value.pszName;
  const bool bCheck = name == contract::value::kReadyCheck || name == contract::value::kHealthCheck;
  data->strText = name == contract::value::kArguments || (bCheck && raw.substr(0, 1) != "\"")
                      ? std::string(raw)
                      : JoinTokens(tokens, ' ');
  const contract::WordList words = contract::WordsOf(value.pszName);
  if (words.cWords == 0) return true;
  for (std::size_t i = 0; i < words.cWords; ++i) {
    if (EqualsIgnoringCase(data->strText, words.ppszWords[i])) {
      data->strText = words.ppszWords[i];  // stored as the runner spells it
      return true;
    }
  }
  std::string strWords;
  for (std::size_t i = 0; i < words.cWords; ++i) {
    strWords += (i == 0 ? "" : ", ") + std::string(words.ppszWords[i]);
  }
  return Refuse(error, strName + " takes one of " + strWords + ", not \"" + data->strText + "\"");
}

}  // namespace

bool FindSetting(std::string_view name, Setting* setting) {
  const contract::RunnerValue* pValue = contract::FindRunnerValueIgnoringCase(name);
  // The marker says who installed the service; it is not a setting.
  if (pValue != nullptr && pValue->pszName != std::string_view(contract::value::kInstaller)) {
    *setting = Setting{pValue->pszName, SettingKind::kRunnerValue, pValue};
    return true;
  }
  for (const ServiceSettingKind& entry : kServiceKinds) {
    if (EqualsIgnoringCase(name, entry.pszName)) {
      *setting = Setting{entry.pszName, entry.kind, nullptr};
      return true;
    }
  }
  return false;
}

std::vector<Setting> AllSettings() {
  std::vector<Setting> settings;
  for (const contract::RunnerValue& value : contract::kRunnerValues) {
    Setting setting;
    if (FindSetting(value.pszName, &setting)) settings.push_back(setting);
  }
  for (const ServiceSettingKind& entry : kServiceKinds) {
    settings.push_back(Setting{entry.pszName, entry.kind, nullptr});
  }
  return settings;
}

SettingData DefaultData(const Setting& setting, const std::string& strName) {
  SettingData data;
  if (setting.kind == SettingKind::kDisplayName) data.strText = strName;
  if (setting.kind == SettingKind::kAccount) data.strText = kLocalSystem;
  if (setting.kind == SettingKind::kRecovery) data.strText = kNoRecovery;
  if (setting.kind == SettingKind::kRecoveryReset) data.dwValue = kDefaultRecoveryResetSeconds;
  data.startup = StartupChoice::kAuto;
  return data;
}

bool CheckNameLength(std::string_view name, std::string* error) {
  if (!name.empty() && contract::ParametersKeyPath(name).size() <= kMaxParametersPath) return true;
  const std::size_t cchMax = kMaxParametersPath - contract::ParametersKeyPath("").size();
  return Refuse(error, "The service name takes 1 to " + std::to_string(cchMax) + " characters");
}

bool ParseDword(std::string_view text, std::uint32_t* value) {
  int nBase = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    nBase = 16;
  }
  if (text.empty() || text.size() > 10) return false;
  std::uint64_t qwValue = 0;
  for (char ch : text) {
    int nDigit = -1;
    if (ch >= '0' && ch <= '9') nDigit = ch - '0';
    if (nBase == 16 && ch >= 'a' && ch <= 'f') nDigit = ch - 'a' + 10;
    if (nBase == 16 && ch >= 'A' && ch <= 'F') nDigit = ch - 'A' + 10;
    if (nDigit < 0) return false;
    qwValue = qwValue * static_cast<std::uint64_t>(nBase) + static_cast<std::uint64_t>(nDigit);
    if (qwValue > 0xFFFFFFFFull) return false;
  }
  *value = static_cast<std::uint32_t>(qwValue);
  return true;
}

const char* StartupWord(std::uint32_t startType, bool delayed) {
  switch (startType) {
    case 0:
      return "boot";
    case 1:
      return "system";
    case 2:
      return delayed ? kStartupWords[1] : kStartupWords[0];
    case 3:
      return kStartupWords[2];
    case 4:
      return kStartupWords[3];
    default:
      return "unknown";
  }
}

std::uint32_t StartTypeOf(StartupChoice choice) {
  switch (choice) {
    case StartupChoice::kAuto:
    case StartupChoice::kDelayedAuto:
      return 2;
    case StartupChoice::kManual:
      return 3;
    case StartupChoice::kDisabled:
      return 4;
  }
  return 3;
}

std::string AccountName(std::string_view typed) {
  if (EqualsIgnoringCase(typed, "LocalSystem") || EqualsIgnoringCase(typed, ".\\LocalSystem")) {
    return kLocalSystem;
  }
  // Also as Windows shows them (the Services console, whoami): the same accounts.
  if (EqualsIgnoringCase(typed, "NT AUTHORITY\\SYSTEM")) return kLocalSystem;
  if (EqualsIgnoringCase(typed, "LocalService") || EqualsIgnoringCase(typed, kLocalService) ||
      EqualsIgnoringCase(typed, "NT AUTHORITY\\LOCAL SERVICE")) {
    return kLocalService;
  }
  if (EqualsIgnoringCase(typed, "NetworkService") || EqualsIgnoringCase(typed, kNetworkService) ||
      EqualsIgnoringCase(typed, "NT AUTHORITY\\NETWORK SERVICE")) {
    return kNetworkService;
  }
  return std::string(typed);
}

bool ParseSettingData(const Setting& setting, std::string_view raw,
                      const std::vector<Token>& tokens, SettingData* data, std::string* error) {
  *data = SettingData{};
  const std::string strName = setting.pszName;
  if (tokens.empty()) return Refuse(error, strName + " needs its data");
  // A description or an environment value may run over lines; a name, a path, a word or a
  // command line never does, and the system or the runner would take a line break in it as
  // part of the text. Arguments are the data as typed; an account's password is its own.
  const bool bLinesAllowed =
      setting.kind == SettingKind::kDescription ||
      (setting.pValue != nullptr && setting.pValue->type == contract::ValueType::kMultiString);
  if (!bLinesAllowed) {
    const bool bArguments =
        setting.pValue != nullptr &&
        setting.pValue->pszName == std::string_view(contract::value::kArguments);
    const std::size_t cTokens = bArguments                              ? 0
                                : setting.kind == SettingKind::kAccount ? 1
                                                                        : tokens.size();
    bool bBreak = bArguments && HasLineBreak(raw);
    for (std::size_t i = 0; i < cTokens; ++i) bBreak = bBreak || HasLineBreak(tokens[i].strText);
    if (bBreak) return Refuse(error, strName + " cannot hold a line break");
  }
  switch (setting.kind) {
    case SettingKind::kRunnerValue:
      return ParseRunnerData(*setting.pValue, raw, tokens, data, error);
    case SettingKind::kDisplayName:
      data->strText = JoinTokens(tokens, ' ');
      if (data->strText.empty() || data->strText.size() > kMaxNameText) {
        return Refuse(error, "DisplayName takes 1 to 256 characters");
      }
      return true;
    case SettingKind::kDescription:
      data->strText = JoinTokens(tokens, ' ');
      if (data->strText.size() > kMaxDescription) {
        return Refuse(error, "Description takes at most 2048 characters");
      }
      return true;
    case SettingKind::kStartup: {
      static constexpr StartupChoice kChoices[] = {
          StartupChoice::kAuto, StartupChoice::kDelayedAuto, StartupChoice::kManual,
          StartupChoice::kDisabled};
      for (std::size_t i = 0; i < std::size(kChoices); ++i) {
        if (tokens.size() == 1 && EqualsIgnoringCase(tokens[0].strText, kStartupWords[i])) {
          data->startup = kChoices[i];
          return true;
        }
      }
      return Refuse(error, "Startup takes one of auto, delayed-auto, manual, disabled");
    }
    case SettingKind::kDependencies:
      // "A;B" or "A B": turned into the system's list by the window's own conversion.
      data->strText = JoinTokens(tokens, ';');
      if (data->strText.size() > 1023)
        return Refuse(error, "Dependencies take at most 1023 characters");
      return true;
    case SettingKind::kAccount:
      if (tokens.size() > 2) return Refuse(error, "Account takes an account and its password");
      data->strText = AccountName(tokens[0].strText);
      if (data->strText.empty() || data->strText.size() > kMaxNameText) {
        return Refuse(error, "Account takes an account name of 1 to 256 characters");
      }
      if (!AccountNeedsPassword(data->strText)) {
        if (tokens.size() == 2) return Refuse(error, data->strText + " takes no password");
        return true;
      }
      data->bPasswordGiven = tokens.size() == 2;
      // An option typed after the account would otherwise become its password.
      if (data->bPasswordGiven &&
          (tokens[1].strText == "--password-stdin" || tokens[1].strText == "--no-grant" ||
           tokens[1].strText == "--quoted")) {
        return Refuse(error, tokens[1].strText + " goes before the service's name (set " +
                                 tokens[1].strText + " <name> Account ...)");
      }
      if (data->bPasswordGiven) data->strPassword = tokens[1].strText;
      return true;
    case SettingKind::kRecovery: {
      platform::FailureActions actions;
      if (!ParseRecovery(JoinTokens(tokens, ' '), &actions, error)) return false;
      data->strText = RecoveryText(actions);  // one spelling, as get shows it
      return true;
    }
    case SettingKind::kRecoveryReset:
      if (tokens.size() != 1 || !ParseDword(tokens[0].strText, &data->dwValue)) {
        return Refuse(error, "RecoveryReset takes a number of seconds from 0 to 4294967295");
      }
      return true;
  }
  return Refuse(error, "unknown setting");
}

}  // namespace qm::cli
