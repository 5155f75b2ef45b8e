#pragma once
// The words of the command line's own settings: the service's settings that the Service
// Control Manager keeps (edited beside the runner's values), the startup words, and the
// accounts built in.

namespace qm::cli {

namespace setting {
inline constexpr const char* kDisplayName = "DisplayName";
inline constexpr const char* kDescription = "Description";
inline constexpr const char* kStartup = "Startup";
inline constexpr const char* kDependencies = "Dependencies";
inline constexpr const char* kAccount = "Account";
inline constexpr const char* kRecovery = "Recovery";
inline constexpr const char* kRecoveryReset = "RecoveryReset";
}  // namespace setting
inline constexpr const char* kServiceSettings[] = {
    setting::kDisplayName, setting::kDescription, setting::kStartup,      setting::kDependencies,
    setting::kAccount,     setting::kRecovery,    setting::kRecoveryReset};
// Startup words, in the order of the start types they stand for (delayed-auto is automatic).
inline constexpr const char* kStartupWords[] = {"auto", "delayed-auto", "manual", "disabled"};
// The built-in accounts, and the start of a virtual account's name.
inline constexpr const char* kLocalSystem = "LocalSystem";
inline constexpr const char* kLocalService = "NT AUTHORITY\\LocalService";
inline constexpr const char* kNetworkService = "NT AUTHORITY\\NetworkService";
inline constexpr const char* kVirtualAccountPrefix = "NT SERVICE\\";

}  // namespace qm::cli
