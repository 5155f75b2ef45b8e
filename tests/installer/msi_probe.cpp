// The Windows side of the installer test (tests/installer/msi_test.sh): drives an installed
// quillmnt.exe as a user would and reports what the Service Control Manager holds.
//   msi_probe install TOOL SERVICE PROGRAM  fill in the tool's form and press Install
//   msi_probe query SERVICE                 print binary=<path> and state=<n>
//   msi_probe start SERVICE                 start it and wait until it runs
//   msi_probe stop SERVICE                  stop it and wait until it has stopped
//   msi_probe delete SERVICE                stop it and delete it
// Prints what it saw; exits 0 on success, 1 when a step failed.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "common/win32_handles.h"
#include "res/resource.h"

namespace {

struct FindData {
  DWORD dwPid;
  const char* pszTitle;
  HWND hWnd;
};

BOOL CALLBACK FindWindowOf(HWND hWnd, LPARAM lParam) {
  auto* pFind = reinterpret_cast<FindData*>(lParam);
  DWORD dwPid = 0;
  ::GetWindowThreadProcessId(hWnd, &dwPid);
  char szTitle[64] = "";
  ::GetWindowTextA(hWnd, szTitle, sizeof(szTitle));
  if (dwPid == pFind->dwPid && std::strcmp(szTitle, pFind->pszTitle) == 0 &&
      ::IsWindowVisible(hWnd)) {
    pFind->hWnd = hWnd;
    return FALSE;
  }
  return TRUE;
}

// Waits up to 15 s for a visible top-level window of the process with the given title.
HWND WaitForWindow(DWORD dwPid, const char* pszTitle) {
  FindData find{dwPid, pszTitle, nullptr};
  for (int i = 0; i < 300 && find.hWnd == nullptr; ++i) {
    ::EnumWindows(&FindWindowOf, reinterpret_cast<LPARAM>(&find));
    if (find.hWnd == nullptr) ::Sleep(50);
  }
  return find.hWnd;
}

BOOL CALLBACK AppendStaticText(HWND hChild, LPARAM lParam) {
  char szClass[32] = "";
  ::GetClassNameA(hChild, szClass, sizeof(szClass));
  char szText[512] = "";
  ::GetWindowTextA(hChild, szText, sizeof(szText));
  if (lstrcmpiA(szClass, "Static") == 0 && szText[0] != '\0') {
    reinterpret_cast<std::string*>(lParam)->append(szText);
  }
  return TRUE;
}

int Install(const char* pszTool, const char* pszService, const char* pszProgram) {
  STARTUPINFOA si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  std::string strCommand = std::string("\"") + pszTool + "\"";
  if (!::CreateProcessA(pszTool, strCommand.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi)) {
    std::printf("cannot start %s: %lu\n", pszTool, ::GetLastError());
    return 1;
  }
  qm::unique_handle hProcess(pi.hProcess);
  qm::unique_handle hThread(pi.hThread);
  int nResult = 1;
  HWND hMain = WaitForWindow(pi.dwProcessId, "Quillmont");
  if (hMain == nullptr) {
    std::printf("no main window\n");
  } else {
    // Setting an edit control's text notifies the dialog as typing does.
    ::SetDlgItemTextA(hMain, IDC_SERVICE_NAME, pszService);
    ::SetDlgItemTextA(hMain, IDC_DISPLAY_NAME, pszService);
    ::SetDlgItemTextA(hMain, IDC_EXECUTABLE, pszProgram);
    HWND hInstall = ::GetDlgItem(hMain, IDC_INSTALL);
    ::PostMessageA(hMain, WM_COMMAND, MAKEWPARAM(IDC_INSTALL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(hInstall));
    HWND hBox = WaitForWindow(pi.dwProcessId, "Success");
    if (hBox == nullptr) hBox = WaitForWindow(pi.dwProcessId, "Error");
    if (hBox == nullptr) {
      std::printf("no message box after Install\n");
    } else {
      std::string strText;
      ::EnumChildWindows(hBox, &AppendStaticText, reinterpret_cast<LPARAM>(&strText));
      char szCaption[32] = "";
      ::GetWindowTextA(hBox, szCaption, sizeof(szCaption));
      std::printf("box=%s: %s\n", szCaption, strText.c_str());
      nResult = std::strcmp(szCaption, "Success") == 0 ? 0 : 1;
      ::PostMessageA(hBox, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
    ::Sleep(200);
    ::PostMessageA(hMain, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(hMain, IDCANCEL)));
  }
  if (::WaitForSingleObject(hProcess.get(), 15000) != WAIT_OBJECT_0) {
    std::printf("the tool did not end\n");
    ::TerminateProcess(hProcess.get(), 99);
    nResult = 1;
  }
  return nResult;
}

qm::unique_schandle OpenService(const char* pszService) {
  qm::unique_schandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return {};
  return qm::unique_schandle(::OpenServiceA(manager.get(), pszService, SERVICE_ALL_ACCESS));
}

DWORD State(SC_HANDLE hService) {
  SERVICE_STATUS status{};
  return ::QueryServiceStatus(hService, &status) ? status.dwCurrentState : 0;
}

// Waits up to 20 s for the service to reach the state.
bool WaitForState(SC_HANDLE hService, DWORD dwWanted) {
  for (int i = 0; i < 200; ++i) {
    if (State(hService) == dwWanted) return true;
    ::Sleep(100);
  }
  return false;
}

int Query(const char* pszService) {
  qm::unique_schandle service = OpenService(pszService);
  if (!service) {
    std::printf("registered=no error=%lu\n", ::GetLastError());
    return 1;
  }
  alignas(QUERY_SERVICE_CONFIGA) char buffer[8192];
  auto* pConfig = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer);
  DWORD cbNeeded = 0;
  if (!::QueryServiceConfigA(service.get(), pConfig, sizeof(buffer), &cbNeeded)) {
    std::printf("registered=yes config-error=%lu\n", ::GetLastError());
    return 1;
  }
  std::printf("registered=yes\nbinary=%s\nstate=%lu\n", pConfig->lpBinaryPathName,
              State(service.get()));
  return 0;
}

int Start(const char* pszService) {
  qm::unique_schandle service = OpenService(pszService);
  if (!service || !::StartServiceA(service.get(), 0, nullptr)) {
    std::printf("start failed: %lu\n", ::GetLastError());
    return 1;
  }
  bool bRunning = WaitForState(service.get(), SERVICE_RUNNING);
  std::printf("state=%lu\n", State(service.get()));
  return bRunning ? 0 : 1;
}

int Stop(const char* pszService) {
  qm::unique_schandle service = OpenService(pszService);
  SERVICE_STATUS status{};
  if (!service || !::ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
    std::printf("stop failed: %lu\n", ::GetLastError());
    return 1;
  }
  bool bStopped = WaitForState(service.get(), SERVICE_STOPPED);
  std::printf("state=%lu\n", State(service.get()));
  return bStopped ? 0 : 1;
}

int Delete(const char* pszService) {
  qm::unique_schandle service = OpenService(pszService);
  if (!service) return 1;
  SERVICE_STATUS status{};
  if (::ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
    WaitForState(service.get(), SERVICE_STOPPED);
  }
  return ::DeleteService(service.get()) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  const std::string strCommand = argc > 1 ? argv[1] : "";
  if (strCommand == "install" && argc == 5) return Install(argv[2], argv[3], argv[4]);
  if (strCommand == "query" && argc == 3) return Query(argv[2]);
  if (strCommand == "start" && argc == 3) return Start(argv[2]);
  if (strCommand == "stop" && argc == 3) return Stop(argv[2]);
  if (strCommand == "delete" && argc == 3) return Delete(argv[2]);
  std::fprintf(stderr,
               "usage: msi_probe install TOOL SERVICE PROGRAM | query|start|stop|delete NAME\n");
  return 2;
}
