#include "cli/preshutdown_setting.h"

#include "cli/service_access.h"
#include "service/preshutdown_timeout.h"

namespace qm::cli {

bool SetPreshutdownTimeout(CommandContext& context, const std::string& strName,
                           std::uint32_t dwStopTimeoutMs) {
  const std::uint32_t dwTimeoutMs = svc::PreshutdownTimeoutMs(dwStopTimeoutMs);
  platform::CScHandle manager;
  platform::CScHandle service;
  if (!OpenService(context, strName, platform::kServiceChangeConfig, &manager, &service)) {
    return false;
  }
  if (context.scm.ChangePreshutdownTimeout(service.get(), dwTimeoutMs)) return true;
  // StopTimeout itself is already written: say so, lest "failed" be read as "nothing changed".
  Fail(context, "StopTimeout of " + strName +
                    " is changed, but its pre-shutdown timeout could not be set to " +
                    std::to_string(dwTimeoutMs) + " ms (setting StopTimeout again mends it). " +
                    ErrorText(context));
  return false;
}

}  // namespace qm::cli
