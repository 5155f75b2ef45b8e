#include "cli/apply_plan.h"

#include "cli/json.h"
#include "cli/service_words.h"
#include "service/preshutdown_timeout.h"

namespace qm::cli {

std::vector<Change> SettingChanges(const ServiceEntry& entry, const ServiceState& current) {
  std::vector<Change> changes;
  const std::vector<Setting> settings = AllSettings();
  for (std::size_t i : FileOrder()) {
    if (SameState(settings[i], current[i], entry.desired[i])) continue;
    if (entry.bRecoveryKept && (settings[i].kind == SettingKind::kRecovery ||
                                settings[i].kind == SettingKind::kRecoveryReset)) {
      continue;
    }
    changes.push_back({ChangeKind::kSet, entry.strName, i, current[i], entry.desired[i]});
  }
  return changes;
}

std::uint32_t StopTimeoutOf(const ServiceState& state) {
  const std::vector<Setting> settings = AllSettings();
  for (std::size_t i = 0; i < settings.size(); ++i) {
    const contract::RunnerValue* pValue = settings[i].pValue;
    if (pValue != nullptr && pValue->pszName == std::string_view(contract::value::kStopTimeout)) {
      if (const auto* pdwValue = std::get_if<std::uint32_t>(&state[i].value)) return *pdwValue;
    }
  }
  return contract::kDefaultStopTimeoutMs;
}

std::vector<Change> PreshutdownChanges(const ServiceEntry& entry, std::uint32_t dwCurrentMs) {
  const std::uint32_t dwWantedMs = svc::PreshutdownTimeoutMs(StopTimeoutOf(entry.desired));
  if (dwWantedMs == dwCurrentMs) return {};
  return {{ChangeKind::kPreshutdown, entry.strName, 0, {dwCurrentMs}, {dwWantedMs}}};
}

ServiceState InstalledState(const ServiceEntry& entry) {
  ServiceState state;
  const std::vector<Setting> settings = AllSettings();
  for (std::size_t i = 0; i < settings.size(); ++i) {
    const Setting& setting = settings[i];
    const bool bInstalled = setting.kind == SettingKind::kDisplayName ||
                            setting.kind == SettingKind::kDependencies ||
                            (setting.pValue != nullptr && setting.pValue->bWrittenByTool);
    state.push_back(bInstalled ? entry.desired[i] : DefaultState(setting, entry.strName));
    if (setting.kind == SettingKind::kStartup) {
      // install starts a service automatically or on demand; the other words are set after.
      const std::string& strWord = std::get<std::string>(entry.desired[i].value);
      const bool bAuto = strWord == kStartupWords[0] || strWord == kStartupWords[1];
      state.back().value = std::string(bAuto ? kStartupWords[0] : kStartupWords[2]);
    }
  }
  return state;
}

std::string ChangeLine(const Change& change, bool bCheck) {
  const std::string strService = change.strService + ": ";
  switch (change.kind) {
    case ChangeKind::kCreate:
      return strService + (bCheck ? "would be created" : "created");
    case ChangeKind::kRemove:
      return strService + (bCheck ? "would be removed" : "removed");
    case ChangeKind::kRestart:
      return strService + (bCheck ? "would be restarted" : "restarted");
    case ChangeKind::kPreshutdown:
      return strService + "pre-shutdown timeout " + DisplayValue(change.from.value) + " -> " +
             DisplayValue(change.to.value) + " ms";
    case ChangeKind::kSet:
      break;
  }
  // A value stored in a form the runner does not read has no value to show.
  return strService + AllSettings()[change.nSetting].pszName + " " +
         (change.from.bUnreadable ? "(unreadable)" : DisplayValue(change.from.value)) + " -> " +
         DisplayValue(change.to.value);
}

bool ChangeJson(CommandContext& context, const Change& change, Json* pJson) {
  static constexpr const char* kActions[] = {"create", "set", "remove", "restart", "preshutdown"};
  Json name;
  if (!ValueToJson(context, change.strService, &name)) return false;
  *pJson = {{"Name", std::move(name)}, {"Action", kActions[static_cast<int>(change.kind)]}};
  if (change.kind == ChangeKind::kPreshutdown) {
    (*pJson)["From"] = std::get<std::uint32_t>(change.from.value);
    (*pJson)["To"] = std::get<std::uint32_t>(change.to.value);
    return true;
  }
  if (change.kind != ChangeKind::kSet) return true;
  const Setting setting = AllSettings()[change.nSetting];
  Json from;
  Json to;
  if ((!change.from.bUnreadable && !ValueToJson(context, change.from.value, &from)) ||
      !ValueToJson(context, change.to.value, &to)) {
    Fail(context, std::string(setting.pszName) + " of " + change.strService +
                      " holds bytes that are no text of this system's code page.");
    return false;
  }
  (*pJson)["Setting"] = setting.pszName;
  (*pJson)["From"] = std::move(from);
  (*pJson)["To"] = std::move(to);
  return true;
}

}  // namespace qm::cli
