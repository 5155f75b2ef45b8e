#pragma once
// The runner's values of a service as set, get, reset and dump see them: read through the
// runner's own parser (cli/stored_parameters.h), and edited only when the runner, reading the
// edited values at its next start, would take them.

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cli/command_context.h"
#include "contract/runner_contract.h"
#include "runner/core/runner_settings.h"

namespace qm::cli {

// A runner value as text (a list's entries one a line, and in *pEntries), *pbDefault when it
// is not stored; false, and said why, when it cannot be read.
bool RunnerValueText(CommandContext& context, const std::string& strName,
                     const contract::RunnerValue& value, std::string* pText, bool* pbDefault,
                     std::vector<std::string>* pEntries = nullptr);

// Writes one runner value (pNew), or deletes it (null), when the settings with this edit pass
// the runner's parser and check, or fail them only as the stored ones do already; otherwise,
// and when the write fails, says why and returns false with nothing changed.
bool EditRunnerValue(CommandContext& context, const std::string& strName,
                     const contract::RunnerValue& value, const runner::StoredValue* pNew);

// One runner value to write (value), or to delete (none).
struct RunnerEdit {
  const contract::RunnerValue* pValue = nullptr;
  std::optional<runner::StoredValue> value;
};
// Writes edits judged already, in order, with the Parameters key opened once; at the first
// that fails says why and returns false (the ones before it are written).
bool WriteRunnerEdits(CommandContext& context, const std::string& strName,
                      std::span<const RunnerEdit> edits);

}  // namespace qm::cli
