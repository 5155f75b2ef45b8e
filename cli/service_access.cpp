#include "cli/service_access.h"

namespace qm::cli {

bool OpenService(CommandContext& context, const std::string& strName, std::uint32_t dwAccess,
                 platform::CScHandle* manager, platform::CScHandle* service) {
  platform::IServiceManager& scm = context.scm;
  *manager = platform::OwnScHandle(
      scm, context.system, scm.OpenSCManager(nullptr, nullptr, platform::kScManagerConnect));
  if (!*manager) {
    Fail(context, "Could not open Service Control Manager. " + ErrorText(context));
    return false;
  }
  return OpenService(context, manager->get(), strName, dwAccess, service);
}

bool OpenService(CommandContext& context, platform::Handle hManager, const std::string& strName,
                 std::uint32_t dwAccess, platform::CScHandle* service) {
  platform::IServiceManager& scm = context.scm;
  *service = platform::OwnScHandle(scm, context.system,
                                   scm.OpenService(hManager, strName.c_str(), dwAccess));
  if (!*service) {
    const std::uint32_t dwError = context.system.GetLastError();
    if (dwError == static_cast<std::uint32_t>(platform::kErrorServiceDoesNotExist)) {
      Fail(context, "No service named " + strName + " is registered.");
    } else {
      Fail(context, "Could not open the service " + strName + ". " + ErrorText(context, dwError));
    }
    return false;
  }
  return true;
}

bool CheckOwnService(CommandContext& context, const std::string& strName) {
  platform::CScHandle manager;
  platform::CScHandle service;
  if (!OpenService(context, strName, platform::kServiceQueryConfig, &manager, &service))
    return false;
  if (!context.commands.IsOwnInstall(strName.c_str())) {
    Fail(context, strName + " was not installed by Quillmont; its settings are left as they are.");
    return false;
  }
  return true;
}

}  // namespace qm::cli
