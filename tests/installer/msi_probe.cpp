// The Windows side of the installer test (tests/installer/msi_test.sh): drives an installed
// quillmnt.exe as a user would.
//   msi_probe install TOOL SERVICE PROGRAM  fill in the tool's form, press Install, answer
//                                           the message box and close the tool
// Prints the box it saw; exits 0 when the tool reported success, 1 otherwise.
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

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc == 5 && std::strcmp(argv[1], "install") == 0) return Install(argv[2], argv[3], argv[4]);
  std::fprintf(stderr, "usage: msi_probe install TOOL SERVICE PROGRAM\n");
  return 2;
}
