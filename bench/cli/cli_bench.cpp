// With many services registered, times the command line's list (as text and as JSON), its
// remove of a name that is not registered, the export of 100 services and the apply of that
// file, which finds all 100 as they are (each as a whole quillmnt.com process, as a script
// runs it), and the Remove command of the missing name in the process (its outcome's text
// shown).
//   cli_bench.exe [services] [own services] [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/support/bench_support.h"
#include "common/win32_handles.h"
#include "contract/runner_contract.h"
#include "platform/win32_platform.h"
#include "service/service_commands.h"

using qm::unique_handle;
using qm::unique_hfile;
using qm::unique_hkey;
using qm::unique_schandle;
using qm::bench::BinFolder;
using qm::bench::NowMs;

namespace {

std::string BenchName(int n) {
  char sz[32];
  std::snprintf(sz, sizeof(sz), "qmbench%05d", n);
  return sz;
}

bool SetString(HKEY hKey, const char* pszName, const std::string& strValue) {
  return ::RegSetValueExA(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(strValue.c_str()),
                          static_cast<DWORD>(strValue.size() + 1)) == ERROR_SUCCESS;
}

// A service as the tool installs it (marker and run values), or a foreign one.
bool Register(SC_HANDLE hManager, const std::string& strName, const std::string& strRunner,
              bool bOwn) {
  unique_schandle service(
      ::CreateServiceA(hManager, strName.c_str(), strName.c_str(), SERVICE_ALL_ACCESS,
                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                       strRunner.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  if (!service) return ::GetLastError() == ERROR_SERVICE_EXISTS;
  if (!bOwn) return true;
  const std::string strKey = qm::contract::ParametersKeyPath(strName);
  unique_hkey key;
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, strKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  return SetString(key.get(), qm::contract::value::kInstaller, qm::contract::kInstallerMarker) &&
         SetString(key.get(), qm::contract::value::kArguments, "") &&
         SetString(key.get(), qm::contract::value::kRunfile, "C:\\Bench\\" + strName + ".exe") &&
         SetString(key.get(), qm::contract::value::kDirectory, "");
}

void Unregister(SC_HANDLE hManager, const std::string& strName) {
  unique_schandle service(::OpenServiceA(hManager, strName.c_str(), DELETE));
  if (service) ::DeleteService(service.get());
}

// Runs the console program with its output into NUL (or the file strOut); returns its time in
// ms, or -1.
double TimeCommand(const std::string& strArgs, DWORD* pdwExit, const std::string& strOut = "NUL") {
  SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
  unique_handle nul(
      ::CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr));
  unique_hfile out(::CreateFileA(strOut.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, &sa,
                                 CREATE_ALWAYS, 0, nullptr));
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = out.get();
  si.hStdError = nul.get();
  PROCESS_INFORMATION pi = {};
  std::string strCommand = "\"" + BinFolder() + "quillmnt.com\" " + strArgs;
  const double dStart = NowMs();
  if (!::CreateProcessA(nullptr, strCommand.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &si, &pi)) {
    return -1;
  }
  unique_handle process(pi.hProcess);
  unique_handle thread(pi.hThread);
  ::WaitForSingleObject(process.get(), INFINITE);
  const double dMs = NowMs() - dStart;
  ::GetExitCodeProcess(process.get(), pdwExit);
  return dMs;
}

// The window asks nothing here: the name is not registered.
class CNoConfirm : public qm::svc::IRemoveConfirm {
 public:
  bool Confirm(qm::svc::RemoveQuestion, const std::string&) override { return false; }
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int cServices = argc > 1 ? std::atoi(argv[1]) : 3000;
  const int cOwn = argc > 2 ? std::atoi(argv[2]) : cServices;
  const int cRounds = argc > 3 ? std::atoi(argv[3]) : 5;
  unique_schandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) {
    std::printf("cannot open the service manager: %lu\n", ::GetLastError());
    return 1;
  }
  const std::string strRunner = BinFolder() + "carrack.exe";
  double dStart = NowMs();
  for (int n = 0; n < cServices; ++n) {
    if (!Register(manager.get(), BenchName(n), strRunner, n < cOwn)) {
      std::printf("registering %s failed: %lu\n", BenchName(n).c_str(), ::GetLastError());
      return 1;
    }
  }
  std::printf("registered %d services (%d of them the tool's) in %.0f ms\n", cServices, cOwn,
              NowMs() - dStart);

  // The file of 100 services as export writes it; apply of it finds every one as it is.
  const int cApplied = std::min(100, cOwn);
  std::string strNames;
  for (int n = 0; n < cApplied; ++n) strNames += " " + BenchName(n);
  const std::string strFile = BinFolder() + "qmbench_services.json";

  std::vector<double> list, listJson, exported, apply, removeCli, removeWindow;
  DWORD dwExportExit = 0;
  DWORD dwListExit = 0;
  DWORD dwListJsonExit = 0;
  DWORD dwApplyExit = 0;
  DWORD dwRemoveExit = 0;
  std::string strOutcome;
  for (int r = 0; r < cRounds; ++r) {
    list.push_back(TimeCommand("list", &dwListExit));
    listJson.push_back(TimeCommand("list --json", &dwListJsonExit));
    exported.push_back(TimeCommand("export" + strNames, &dwExportExit, strFile));
    apply.push_back(TimeCommand("apply \"" + strFile + "\"", &dwApplyExit));
    removeCli.push_back(TimeCommand("remove qmbenchMissing", &dwRemoveExit));
    qm::platform::CWin32Platform win32;
    qm::svc::CServiceCommands commands(win32.Platform());
    CNoConfirm confirm;
    qm::svc::RemoveRequest request;
    request.strServiceName = "qmbenchMissing";
    dStart = NowMs();
    strOutcome = commands.Remove(request, confirm).strText;
    removeWindow.push_back(NowMs() - dStart);
  }
  std::replace(strOutcome.begin(), strOutcome.end(), '\n', ' ');
  DWORD dwBareExit = 0;
  std::vector<double> bare;
  for (int r = 0; r < cRounds; ++r) bare.push_back(TimeCommand("--version", &dwBareExit));
  std::printf("quillmnt list                    %8.1f ms (median of %d, exit %lu)\n", Median(list),
              cRounds, dwListExit);
  std::printf("quillmnt list --json             %8.1f ms (exit %lu)\n", Median(listJson),
              dwListJsonExit);
  std::printf("quillmnt export of %d services  %8.1f ms (exit %lu)\n", cApplied, Median(exported),
              dwExportExit);
  std::printf("quillmnt apply, %d as they are  %8.1f ms (exit %lu: 0 is nothing to change)\n",
              cApplied, Median(apply), dwApplyExit);
  std::printf("quillmnt remove <missing>        %8.1f ms (exit %lu)\n", Median(removeCli),
              dwRemoveExit);
  std::printf("Remove of <missing>, in process  %8.1f ms (\"%s\")\n", Median(removeWindow),
              strOutcome.c_str());
  std::printf("quillmnt --version (process floor)%7.1f ms\n", Median(bare));

  ::DeleteFileA(strFile.c_str());
  dStart = NowMs();
  for (int n = 0; n < cServices; ++n) Unregister(manager.get(), BenchName(n));
  std::printf("removed the services in %.0f ms\n", NowMs() - dStart);
  return 0;
}
