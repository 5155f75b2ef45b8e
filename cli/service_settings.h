#pragma once
// The service's own settings (DisplayName, Description, Startup, Dependencies, Account,
// Recovery, RecoveryReset) as get and dump read them and set and reset change them, through the
// Service Control Manager.

#include <map>
#include <string>

#include "cli/command_context.h"
#include "cli/settings.h"

namespace qm::cli {

// One of the service's own settings as text; false, and said why, when it cannot be read.
bool ServiceSettingText(CommandContext& context, const std::string& strName, SettingKind kind,
                        std::string* pText);
// All of them, read with the service opened once: here, or by the caller (hService, open
// for reading its configuration, which is *pInfo).
bool ServiceSettingTexts(CommandContext& context, const std::string& strName,
                         std::map<SettingKind, std::string>* pTexts,
                         platform::Handle hService = platform::kNoHandle,
                         const platform::ServiceConfigInfo* pInfo = nullptr);

// Changes one of the service's own settings to checked data; every failure is said and leaves
// the setting as it was (Startup, the one setting of two steps, is put back when its second
// fails).
bool ChangeServiceSetting(CommandContext& context, const std::string& strName,
                          const Setting& setting, const SettingData& data);

// Gives the account "Log on as a service" and says so in one line on lines (granted, or already
// held); a failure is a warning on the error output: the account is set, and the right can
// still be given by hand before the service starts.
void GrantLogonRight(CommandContext& context, const std::string& strAccount, IConsole& lines);

}  // namespace qm::cli
