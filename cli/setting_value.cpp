#include "cli/setting_value.h"

#include "cli/recovery_list.h"
#include "cli/service_words.h"
#include "common/ascii_case.h"

namespace qm::cli {

namespace {

std::vector<std::string> Split(const std::string& strText, char chSeparator) {
  std::vector<std::string> entries;
  for (std::size_t nAt = 0; nAt < strText.size();) {
    const std::size_t nEnd = std::min(strText.find(chSeparator, nAt), strText.size());
    if (nEnd > nAt) entries.push_back(strText.substr(nAt, nEnd - nAt));
    nAt = nEnd + 1;
  }
  return entries;
}

// A text as it may stand in one line.
std::string DisplayText(const std::string& strText) {
  std::string strShown = "\"";
  for (char ch : strText) strShown.push_back(static_cast<unsigned char>(ch) < 0x20 ? ' ' : ch);
  return strShown + "\"";
}

}  // namespace

ValueShape ShapeOf(const Setting& setting) {
  if (setting.kind == SettingKind::kDependencies) return ValueShape::kList;
  if (setting.kind == SettingKind::kRecoveryReset) return ValueShape::kNumber;
  if (setting.kind != SettingKind::kRunnerValue) return ValueShape::kText;
  switch (setting.pValue->type) {
    case contract::ValueType::kDword:
      return ValueShape::kNumber;
    case contract::ValueType::kMultiString:
      return ValueShape::kList;
    case contract::ValueType::kString:
      break;
  }
  return ValueShape::kText;
}

SettingState DefaultState(const Setting& setting, const std::string& strName) {
  SettingState state;
  switch (setting.kind) {
    case SettingKind::kRunnerValue: {
      const contract::RunnerValue& value = *setting.pValue;
      // The values the runner cannot start without are kept, empty.
      state.bStored = value.bRequired;
      if (value.type == contract::ValueType::kDword) {
        state.value = value.dwDefault;
      } else if (value.type == contract::ValueType::kMultiString) {
        state.value = std::vector<std::string>();
      } else {
        state.value = std::string(value.pszDefault != nullptr ? value.pszDefault : "");
      }
      break;
    }
    case SettingKind::kDisplayName:
      state.value = strName;
      break;
    case SettingKind::kStartup:
      state.value = std::string(kStartupWords[0]);
      break;
    case SettingKind::kAccount:
      state.value = std::string(kLocalSystem);
      break;
    case SettingKind::kDependencies:
      state.value = std::vector<std::string>();
      break;
    case SettingKind::kDescription:
      state.value = std::string();
      break;
    case SettingKind::kRecovery:
      state.value = std::string(kNoRecovery);
      break;
    case SettingKind::kRecoveryReset:
      state.value = kDefaultRecoveryResetSeconds;
      break;
  }
  return state;
}

SettingValue ValueOfData(const Setting& setting, const SettingData& data) {
  switch (ShapeOf(setting)) {
    case ValueShape::kNumber:
      return data.dwValue;
    case ValueShape::kList:
      return setting.kind == SettingKind::kDependencies ? Split(data.strText, ';')
                                                        : Split(data.strList, '\0');
    case ValueShape::kText:
      break;
  }
  if (setting.kind == SettingKind::kStartup) {
    return std::string(
        StartupWord(StartTypeOf(data.startup), data.startup == StartupChoice::kDelayedAuto));
  }
  return data.strText;
}

bool SameState(const Setting& setting, const SettingState& a, const SettingState& b) {
  if (a.bUnreadable || b.bUnreadable || a.bStored != b.bStored) return false;
  if (setting.kind == SettingKind::kAccount) {
    return EqualsIgnoringCase(std::get<std::string>(a.value), std::get<std::string>(b.value));
  }
  return a.value == b.value;
}

std::string DisplayValue(const SettingValue& value) {
  if (const auto* pNumber = std::get_if<std::uint32_t>(&value)) return std::to_string(*pNumber);
  if (const auto* pText = std::get_if<std::string>(&value)) return DisplayText(*pText);
  std::string strList = "[";
  for (const std::string& strEntry : std::get<std::vector<std::string>>(value)) {
    if (strList.size() > 1) strList += ", ";
    strList += DisplayText(strEntry);
  }
  return strList + "]";
}

}  // namespace qm::cli
