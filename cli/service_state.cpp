#include "cli/service_state.h"

#include <map>

#include "cli/service_settings.h"
#include "cli/stored_parameters.h"

namespace qm::cli {

namespace {

// A runner value read by the runner's parser into settings, as a setting's value.
SettingValue RunnerValueOf(const Setting& setting, const runner::RunnerSettings& settings) {
  const contract::RunnerValue& value = *setting.pValue;
  switch (ShapeOf(setting)) {
    case ValueShape::kNumber: {
      std::uint32_t dwValue = 0;
      ParseDword(runner::RunnerValueText(settings, value), &dwValue);
      return dwValue;
    }
    case ValueShape::kList:
      return *runner::RunnerValueEntries(settings, value);
    case ValueShape::kText:
      break;
  }
  return runner::RunnerValueText(settings, value);
}

SettingValue ServiceValueOf(const Setting& setting, const std::string& strText) {
  if (ShapeOf(setting) == ValueShape::kNumber) {
    std::uint32_t dwValue = 0;
    ParseDword(strText, &dwValue);
    return dwValue;
  }
  if (ShapeOf(setting) != ValueShape::kList) return strText;
  SettingData data;
  data.strText = strText;
  return ValueOfData(setting, data);  // "A;B" as its names
}

}  // namespace

bool ReadServiceState(CommandContext& context, const std::string& strName, ServiceState* pState,
                      platform::Handle hService, const platform::ServiceConfigInfo* pInfo) {
  std::map<SettingKind, std::string> texts;
  if (!ServiceSettingTexts(context, strName, &texts, hService, pInfo)) return false;
  CStoredParameters source(context.registry, context.system);
  const long lOpen = source.Open(strName);
  if (lOpen != platform::kErrorSuccess && lOpen != platform::kErrorFileNotFound) {
    Fail(context, "Could not read the settings of " + strName + ". " +
                      ErrorText(context, static_cast<std::uint32_t>(lOpen)));
    return false;
  }
  pState->clear();
  runner::RunnerSettings settings;
  for (const Setting& setting : AllSettings()) {
    SettingState state;
    if (setting.kind != SettingKind::kRunnerValue) {
      state.value = ServiceValueOf(setting, texts[setting.kind]);
      pState->push_back(std::move(state));
      continue;
    }
    runner::RunnerFailure failure;
    if (!runner::ReadRunnerValue(source, *setting.pValue, &settings, &failure)) {
      // A value the tool always writes that is missing reads as not stored, as a half-made key
      // left it; one of another type or size as unreadable.
      if (failure.dwError != runner::kErrorFileNotFound &&
          failure.dwError != runner::kErrorDatatypeMismatch &&
          failure.dwError != runner::kErrorMoreData) {
        Fail(context, "Could not read " + std::string(setting.pszName) + " of " + strName + ". " +
                          ErrorText(context, failure.dwError));
        return false;
      }
      state = DefaultState(setting, strName);
      state.bStored = false;
      state.bUnreadable = failure.dwError != runner::kErrorFileNotFound;
    } else {
      state.value = RunnerValueOf(setting, settings);
      state.bStored = runner::IsStored(settings, *setting.pValue);
    }
    pState->push_back(std::move(state));
  }
  return true;
}

bool CheckReadable(CommandContext& context, const std::string& strName, const ServiceState& state) {
  const std::vector<Setting> settings = AllSettings();
  for (std::size_t i = 0; i < settings.size(); ++i) {
    if (!state[i].bUnreadable) continue;
    Fail(context, std::string(settings[i].pszName) + " of " + strName +
                      " has a type the runner does not accept; set it again.");
    return false;
  }
  return true;
}

}  // namespace qm::cli
