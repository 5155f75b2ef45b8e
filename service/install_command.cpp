// The Install command: reads the form, refuses what cannot be installed, creates the service
// with the runner as its executable and fills its Parameters key; one message box per press.

#include <cstdio>
#include <cstring>

#include "service/ascii_compare.h"
#include "service/dependency_list.h"
#include "service/error_text.h"
#include "service/platform_handles.h"
#include "service/runner_path.h"
#include "service/service_commands.h"

namespace qm::svc {

namespace {

constexpr const char* kNotInstalledFormat = "%s\n\n%s\n was NOT installed.\n\n%s";

// Appends to a fixed buffer, never past its end.
void Append(char* buffer, std::size_t capacity, const char* text) {
  const std::size_t cchUsed = std::strlen(buffer);
  if (cchUsed + 1 < capacity) std::snprintf(buffer + cchUsed, capacity - cchUsed, "%s", text);
}

}  // namespace

void CServiceCommands::OnInstall() {
  char szServiceName[kNameCapacity];
  char szDisplayName[kNameCapacity];
  char szStartup[kNameCapacity];
  char szDependencies[kListCapacity];
  char szArguments[kListCapacity];
  char szExecutable[kPathCapacity];
  char szWorkingDir[kPathCapacity];
  m_form.ReadField(IDC_SERVICE_NAME, szServiceName, kNameCapacity);
  m_form.ReadField(IDC_DISPLAY_NAME, szDisplayName, kNameCapacity);
  m_form.ReadField(IDC_STARTUP, szStartup, kNameCapacity);
  m_form.ReadField(IDC_DEPENDENCIES, szDependencies, kListCapacity);
  m_form.ReadField(IDC_ARGUMENTS, szArguments, kListCapacity);
  m_form.ReadField(IDC_EXECUTABLE, szExecutable, kPathCapacity);
  m_form.ReadField(IDC_WORKING_DIR, szWorkingDir, kPathCapacity);

  const std::uint32_t dwStartType =
      EqualsIgnoringCase(szStartup, "Automatic") ? kServiceAutoStart : kServiceDemandStart;

  // A module path the system could not return whole, or a runner path that would not fit,
  // is refused: a cut path would make the service start some other program.
  char szModule[kMaxPath];
  char szRunnerPath[kMaxPath];
  char szError[kErrorTextCapacity] = "";
  const std::uint32_t cchModule = m_platform.system.GetModuleFileName(szModule, kMaxPath);
  const bool bModuleOk = cchModule != 0 && cchModule < kMaxPath;
  if (!bModuleOk) GetSystemErrorText(szError, sizeof(szError));
  const bool bRunnerOk = bModuleOk && MakeRunnerPath(szModule, szRunnerPath, kMaxPath);

  LoadServiceList();

  char szMessage[1024];
  if (!bModuleOk || !bRunnerOk) {
    std::snprintf(szMessage, sizeof(szMessage), kNotInstalledFormat,
                  bModuleOk ? "The path of carrack.exe is too long."
                            : "Could not find the folder of this program.",
                  szServiceName, szError);
    m_platform.messageBox.Show(szMessage, "Error", kMbOk | kMbIconExclamation);
    return;
  }
  if (std::strchr(szServiceName, ' ') != nullptr) {
    m_platform.messageBox.Show("Please do not use any spaces\nin the service name.", "Error",
                               kMbOk | kMbIconExclamation);
    return;
  }
  if (m_pServiceList->Contains(szServiceName)) {
    std::snprintf(szMessage, sizeof(szMessage), "A service named %s\n is already registered.",
                  szServiceName);
    m_platform.messageBox.Show(szMessage, "Error", kMbOk | kMbIconExclamation);
    return;
  }
  // The runner would refuse it at every start; the user meant the rest as arguments.
  if (contract::RunfileHasQuoteInName(szExecutable)) {
    m_platform.messageBox.Show(
        "Please do not use quotes in the executable.\nIts arguments belong in the Arguments "
        "field.",
        "Error", kMbOk | kMbIconExclamation);
    return;
  }

  if (InstallService(szServiceName, szDisplayName, szRunnerPath, szDependencies, szArguments,
                     szExecutable, szWorkingDir, dwStartType) == 1) {
    for (int id : {IDC_SERVICE_NAME, IDC_DISPLAY_NAME, IDC_DEPENDENCIES, IDC_ARGUMENTS,
                   IDC_EXECUTABLE, IDC_WORKING_DIR}) {
      m_form.WriteField(id, "");
    }
  }
}

int CServiceCommands::InstallService(const char* serviceName, const char* displayName,
                                     const char* runnerPath, const char* dependencies,
                                     const char* arguments, const char* executable,
                                     const char* workingDirectory, std::uint32_t startType) {
  IServiceManager& scm = m_platform.scm;
  ISystem& system = m_platform.system;

  const CDependencyList dependencyList(system, dependencies);
  int nResult = 0;
  bool bFailed = false;
  char szMessage[4096];
  char szError[kErrorTextCapacity];

  {  // the manager is closed at the end of this block, before the summary is shown
    CScHandle manager =
        OwnScHandle(scm, system, scm.OpenSCManager(nullptr, nullptr, kScManagerAllAccess));
    if (!manager) {
      GetSystemErrorText(szError, sizeof(szError));
      std::snprintf(szMessage, sizeof(szMessage), kNotInstalledFormat,
                    "Could not open Service Control Manager.", serviceName, szError);
      bFailed = true;
    } else {
      const CreateServiceArgs args{serviceName,
                                   displayName,
                                   kServiceAllAccess,
                                   kServiceWin32OwnProcess,
                                   startType,
                                   kServiceErrorNormal,
                                   runnerPath,
                                   nullptr,
                                   dependencyList.List(),
                                   nullptr,
                                   nullptr};
      CScHandle service = OwnScHandle(scm, system, scm.CreateService(manager.get(), args));
      if (!service) {
        GetSystemErrorText(szError, sizeof(szError));
        std::snprintf(szMessage, sizeof(szMessage), kNotInstalledFormat,
                      "Could not create service.", serviceName, szError);
        bFailed = true;
      } else {
        service.reset();
        nResult = 1;
        std::snprintf(szMessage, sizeof(szMessage), "%s\n\nwas successfully created.", serviceName);
        bFailed = !FillParametersKey(serviceName, arguments, executable, workingDirectory,
                                     szMessage, sizeof(szMessage));
      }
    }
  }

  m_platform.messageBox.Show(szMessage, bFailed ? "Error" : "Success",
                             bFailed ? kMbOk | kMbIconExclamation : kMbOk | kMbIconInformation);
  return nResult;
}

bool CServiceCommands::FillParametersKey(const char* serviceName, const char* arguments,
                                         const char* executable, const char* workingDirectory,
                                         char* message, std::size_t capacity) {
  IRegistry& registry = m_platform.registry;
  ISystem& system = m_platform.system;
  char szKeyPath[1024];
  std::snprintf(szKeyPath, sizeof(szKeyPath), kParametersKeyFormat, serviceName);
  bool bOk = true;
  auto appendFailure = [&](const char* paragraph) {
    char szError[kErrorTextCapacity];
    Append(message, capacity, paragraph);
    Append(message, capacity, GetSystemErrorText(szError, sizeof(szError)));
    bOk = false;
  };
  auto write = [&](const char* text, const char* valueName) {
    const auto cb = static_cast<std::uint32_t>(std::strlen(text) + 1);
    return WriteRegString(registry, system, text, cb, kHKeyLocalMachine, szKeyPath, valueName) == 0;
  };

  if (CreateRegKey(registry, system, kHKeyLocalMachine, szKeyPath) != 0) {
    appendFailure("\nHowever, the Parameter subkey\ncould not be created.\n\n");
  } else if (!write(kInstallerMarker, contract::value::kInstaller)) {
    appendFailure("\nHowever, the Installer value could\nnot be assigned.\n\n");
  } else if (!write(arguments, contract::value::kArguments)) {
    appendFailure("\nHowever, the Arguments value could\nnot be assigned.\n\n");
  } else {
    if (!write(executable, contract::value::kRunfile)) {
      appendFailure("\nHowever, the Runfile value could\nnot be assigned.\n\n");
    }
    if (!write(workingDirectory, contract::value::kDirectory)) {
      appendFailure("\nHowever, the Directory value could\nnot be assigned.\n\n");
    }
  }
  return bOk;
}

}  // namespace qm::svc
