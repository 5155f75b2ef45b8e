#include "cli/runner_values.h"

#include "cli/stored_parameters.h"
#include "platform/platform_handles.h"

namespace qm::cli {

namespace {

// One runner value through the runner's own parser into *pSettings; says why not.
bool ReadRunnerValue(CommandContext& context, runner::IValueSource& source,
                     const std::string& strName, const contract::RunnerValue& value,
                     runner::RunnerSettings* pSettings) {
  runner::RunnerFailure failure;
  if (runner::ReadRunnerValue(source, value, pSettings, &failure)) return true;
  // A value the tool always writes that is missing shows empty, as a half-made key left it.
  if (failure.dwError == runner::kErrorFileNotFound) return true;
  if (failure.dwError == runner::kErrorDatatypeMismatch) {
    Fail(context, std::string(value.pszName) + " of " + strName +
                      " has a type the runner does not accept; set it again.");
  } else {
    Fail(context, "Could not read " + std::string(value.pszName) + " of " + strName + ". " +
                      ErrorText(context, failure.dwError));
  }
  return false;
}

// The settings as stored with one value changed (pNew) or reset (nullptr), read and checked as
// the runner will at its next start; refused (and said why) when the runner would refuse them
// for a reason the stored values do not have already.
bool CheckRunnerEdit(CommandContext& context, const std::string& strName,
                     const contract::RunnerValue& value, const runner::StoredValue* pNew) {
  CStoredParameters stored(context.registry, context.system);
  stored.Open(strName);
  CStoredParameters edited(context.registry, context.system);
  edited.Open(strName);
  if (pNew != nullptr) {
    edited.Set(value.pszName, *pNew);
  } else {
    edited.Erase(value.pszName);
  }
  runner::RunnerFailure after;
  if (RunnerWouldAccept(edited, &after)) return true;
  // A problem that the stored values have already is not this edit's: values are mended one
  // at a time.
  runner::RunnerFailure before;
  if (!RunnerWouldAccept(stored, &before) && before.kind == after.kind &&
      before.strSubject == after.strSubject && before.strDetail == after.strDetail) {
    return true;
  }
  // Only the edited value can be unreadable after the edit that is not unreadable before.
  Fail(context, "The runner would refuse this: " +
                    (after.kind == runner::FailureKind::kValueRefused
                         ? after.strDetail
                         : "the " + after.strSubject + " value cannot be read") +
                    ". Nothing was changed.");
  return false;
}

// The service's Parameters key, open for writing; the system's error, or 0.
long OpenForWrite(CommandContext& context, const std::string& strName, platform::CRegKey* pKey) {
  platform::Handle hRaw = platform::kNoHandle;
  const long lResult = context.registry.OpenKey(platform::kHKeyLocalMachine,
                                                contract::ParametersKeyPath(strName).c_str(), 0,
                                                platform::kKeyWrite, &hRaw);
  if (lResult == platform::kErrorSuccess)
    *pKey = platform::OwnKey(context.registry, context.system, hRaw);
  return lResult;
}

}  // namespace

bool RunnerValueText(CommandContext& context, const std::string& strName,
                     const contract::RunnerValue& value, std::string* pText, bool* pbDefault,
                     std::vector<std::string>* pEntries) {
  CStoredParameters source(context.registry, context.system);
  const long lOpen = source.Open(strName);
  if (lOpen != platform::kErrorSuccess && lOpen != platform::kErrorFileNotFound) {
    Fail(context, "Could not read " + std::string(value.pszName) + " of " + strName + ". " +
                      ErrorText(context, static_cast<std::uint32_t>(lOpen)));
    return false;
  }
  runner::RunnerSettings settings;
  if (!ReadRunnerValue(context, source, strName, value, &settings)) return false;
  *pbDefault = !runner::IsStored(settings, value);
  *pText = runner::RunnerValueText(settings, value);
  if (pEntries != nullptr) {
    const std::vector<std::string>* pList = runner::RunnerValueEntries(settings, value);
    *pEntries = pList != nullptr ? *pList : std::vector<std::string>();
  }
  return true;
}

bool EditRunnerValue(CommandContext& context, const std::string& strName,
                     const contract::RunnerValue& value, const runner::StoredValue* pNew) {
  if (!CheckRunnerEdit(context, strName, value, pNew)) return false;
  RunnerEdit edit{&value, std::nullopt};
  if (pNew != nullptr) edit.value = *pNew;
  return WriteRunnerEdits(context, strName, {&edit, 1});
}

bool WriteRunnerEdits(CommandContext& context, const std::string& strName,
                      std::span<const RunnerEdit> edits) {
  platform::CRegKey key;
  const long lOpen = OpenForWrite(context, strName, &key);
  for (const RunnerEdit& edit : edits) {
    const char* pszValue = edit.pValue->pszName;
    long lResult = lOpen;
    if (lResult == platform::kErrorSuccess && edit.value) {
      const std::string& data = edit.value->data;
      lResult = context.registry.SetValue(key.get(), pszValue, edit.value->dwType,
                                          reinterpret_cast<const unsigned char*>(data.data()),
                                          static_cast<std::uint32_t>(data.size()));
    } else if (lResult == platform::kErrorSuccess) {
      lResult = context.registry.DeleteValue(key.get(), pszValue);
    }
    // A value that is not there is at its default already.
    if (!edit.value && lResult == platform::kErrorFileNotFound) lResult = platform::kErrorSuccess;
    if (lResult != platform::kErrorSuccess) {
      Fail(context, std::string(edit.value ? "Could not write " : "Could not reset ") + pszValue +
                        " of " + strName + ". " +
                        ErrorText(context, static_cast<std::uint32_t>(lResult)));
      return false;
    }
  }
  return true;
}

}  // namespace qm::cli
