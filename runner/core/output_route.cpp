#include "runner/core/output_route.h"

namespace qm::runner {

OutputRoute RouteOutput(const RunnerSettings& settings) {
  const CheckSettings checks = ChecksOf(settings);
  const bool bWatched =
      checks.ready.kind == ProbeKind::kOutput || checks.health.kind == ProbeKind::kOutput;
  const bool bFiles = !settings.strStdout.empty() || !settings.strStderr.empty();
  if (!bFiles && !bWatched) return OutputRoute::kDiscarded;
  const OutputSettings output = OutputOf(settings);
  const bool bRewritten = output.dwRotateBytes != 0 || output.bRotateDaily || output.bTimestamps;
  return bWatched || bRewritten ? OutputRoute::kCaptured : OutputRoute::kDirect;
}

}  // namespace qm::runner
