// quillmnt.exe as a whole: it starts with its main window and ends, with exit code 0, when
// that window is closed by the Close button or the system menu's Close; every box it shows
// from that window is owned by it, which keeps the window disabled and below the box.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/support/wine_test_support.h"

namespace {

using namespace qm::test;

struct FindData {
  DWORD dwPid;
  const char* pszCaption;
  HWND hExclude;
  HWND hWnd;
};

BOOL CALLBACK FindWindowOf(HWND hWnd, LPARAM lParam) {
  auto* pFind = reinterpret_cast<FindData*>(lParam);
  DWORD dwPid = 0;
  ::GetWindowThreadProcessId(hWnd, &dwPid);
  char szClass[16] = "";
  ::GetClassNameA(hWnd, szClass, sizeof(szClass));
  char szTitle[64] = "";
  ::GetWindowTextA(hWnd, szTitle, sizeof(szTitle));
  if (dwPid == pFind->dwPid && hWnd != pFind->hExclude && std::strcmp(szClass, "#32770") == 0 &&
      ::IsWindowVisible(hWnd) &&
      (pFind->pszCaption == nullptr || std::strcmp(szTitle, pFind->pszCaption) == 0)) {
    pFind->hWnd = hWnd;
    return FALSE;
  }
  return TRUE;
}

// A visible dialog-class window of the process with the caption (any caption: nullptr),
// other than hExclude; waits up to 15 s (0 ms: looks once).
HWND WaitForWindow(DWORD dwPid, const char* pszCaption, HWND hExclude = nullptr,
                   DWORD dwTimeoutMs = 15000) {
  FindData find{dwPid, pszCaption, hExclude, nullptr};
  const DWORD dwStart = ::GetTickCount();
  for (;;) {
    ::EnumWindows(&FindWindowOf, reinterpret_cast<LPARAM>(&find));
    if (find.hWnd != nullptr || ::GetTickCount() - dwStart >= dwTimeoutMs) return find.hWnd;
    ::Sleep(50);
  }
}

constexpr const char* kOwnName = "qmProgramBoxes";
constexpr const char* kForeignName = "qmProgramForeign";

class Program : public ::testing::Test {
 protected:
  void TearDown() override {
    if (m_pi.hProcess != nullptr) {
      if (::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(m_pi.hProcess, 99);
        ::WaitForSingleObject(m_pi.hProcess, 5000);
      }
      ::CloseHandle(m_pi.hProcess);
    }
    RemoveService(kOwnName);
    RemoveService(kForeignName);
  }
  // Starts the program and waits for its main window.
  void Start(const std::string& strExe) {
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    std::string strCommand = "\"" + strExe + "\"";
    ASSERT_TRUE(::CreateProcessA(strExe.c_str(), strCommand.data(), nullptr, nullptr, FALSE, 0,
                                 nullptr, nullptr, &si, &m_pi))
        << ::GetLastError();
    ::CloseHandle(m_pi.hThread);
    m_hWnd = WaitForWindow(m_pi.dwProcessId, "Quillmont");
  }
  void StartBuilt() { Start(TestBinFolder() + "quillmnt.exe"); }
  // The program alone in a folder of its own: no user guide beside it.
  void StartCopy() {
    const std::string strCopy = m_copyFolder.Path() + "quillmnt.exe";
    ASSERT_TRUE(::CopyFileA((TestBinFolder() + "quillmnt.exe").c_str(), strCopy.c_str(), FALSE))
        << ::GetLastError();
    Start(strCopy);
  }
  DWORD WaitForExit() {
    if (::WaitForSingleObject(m_pi.hProcess, 15000) != WAIT_OBJECT_0) return 0xFFFFFFFF;
    DWORD dwCode = 0xFFFFFFFF;
    ::GetExitCodeProcess(m_pi.hProcess, &dwCode);
    return dwCode;
  }
  void Press(HWND hWnd, int nButton) {
    ::PostMessageA(hWnd, WM_COMMAND, MAKEWPARAM(nButton, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(hWnd, nButton)));
  }

  CScratchFolder m_copyFolder{"qm-program"};
  PROCESS_INFORMATION m_pi{};
  HWND m_hWnd = nullptr;
};

TEST_F(Program, CloseButtonEndsTheProgramWithoutAsking) {
  StartBuilt();
  ASSERT_NE(m_hWnd, nullptr);
  ::SetDlgItemTextA(m_hWnd, IDC_SERVICE_NAME, "unsaved");
  Press(m_hWnd, IDCANCEL);
  EXPECT_EQ(WaitForExit(), 0u);
}

TEST_F(Program, SystemMenuCloseEndsTheProgram) {
  StartBuilt();
  ASSERT_NE(m_hWnd, nullptr);
  ::PostMessageA(m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(WaitForExit(), 0u);
}

TEST_F(Program, EveryBoxIsOwnedByTheMainWindowWhichStaysDisabledUnderIt) {
  RemoveService(kOwnName);  // left by a run that was cut short
  RemoveService(kForeignName);
  constexpr const char* kNotepad = "C:\\windows\\system32\\notepad.exe";
  // A service of another installer, for the Remove command's second question.
  ASSERT_TRUE(CreateRawService(kForeignName, kNotepad, SERVICE_DEMAND_START, false))
      << ::GetLastError();
  struct Answer {
    const char* pszCaption;
    int nButton;
  };
  // In order, in one run of the program: what is typed (Service Name, Display Name,
  // Executable), the command (a button, or IDM_ABOUTBOX from the system menu) and the boxes
  // it brings, each answered.
  const struct {
    const char* pszService;
    const char* pszDisplay;
    const char* pszExecutable;
    int nCommand;
    std::vector<Answer> vecBoxes;
  } kSteps[] = {
      {"qm spaced", "Spaced", kNotepad, IDC_INSTALL, {{"Error", IDOK}}},
      {kOwnName, "Boxes", kNotepad, IDC_INSTALL, {{"Success", IDOK}}},
      {kOwnName, "Boxes", kNotepad, IDC_INSTALL, {{"Error", IDOK}}},
      {kOwnName, "", "", IDC_REMOVE, {{"Please Confirm", IDNO}}},
      {"qmProgramNone", "", "", IDC_REMOVE, {{"No Service", IDOK}}},
      {kForeignName, "", "", IDC_REMOVE, {{"Please Confirm", IDYES}, {"Please Reconfirm", IDNO}}},
      {kOwnName, "", "", IDC_REMOVE, {{"Please Confirm", IDYES}, {"Success!", IDOK}}},
      {"", "", "", IDC_HELP_BUTTON, {{"Quillmont Help", IDOK}}},
      {"", "", "", IDM_ABOUTBOX, {{"About", IDOK}}},
  };
  StartCopy();
  ASSERT_NE(m_hWnd, nullptr);
  for (const auto& step : kSteps) {
    SCOPED_TRACE(std::string(step.pszService) + " / command " + std::to_string(step.nCommand));
    ::SetDlgItemTextA(m_hWnd, IDC_SERVICE_NAME, step.pszService);
    ::SetDlgItemTextA(m_hWnd, IDC_DISPLAY_NAME, step.pszDisplay);
    ::SetDlgItemTextA(m_hWnd, IDC_EXECUTABLE, step.pszExecutable);
    if (step.nCommand == IDM_ABOUTBOX) {
      ::PostMessageA(m_hWnd, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    } else {
      Press(m_hWnd, step.nCommand);
    }
    for (const Answer& answer : step.vecBoxes) {
      HWND hBox = WaitForWindow(m_pi.dwProcessId, answer.pszCaption, m_hWnd);
      ASSERT_NE(hBox, nullptr) << "no box " << answer.pszCaption;
      EXPECT_EQ(::GetWindow(hBox, GW_OWNER), m_hWnd) << answer.pszCaption;
      EXPECT_FALSE(::IsWindowEnabled(m_hWnd)) << answer.pszCaption;
      Press(hBox, answer.nButton);
    }
    // The last box gone, the window takes input again.
    HWND hLeft = nullptr;
    const DWORD dwStart = ::GetTickCount();
    do {
      ::Sleep(50);
      hLeft = WaitForWindow(m_pi.dwProcessId, nullptr, m_hWnd, 0);
    } while ((hLeft != nullptr || !::IsWindowEnabled(m_hWnd)) &&
             ::GetTickCount() - dwStart < 10000);
    char szLeft[64] = "";
    ::GetWindowTextA(hLeft, szLeft, sizeof(szLeft));
    ASSERT_EQ(hLeft, nullptr) << "box left: " << szLeft;
    ASSERT_TRUE(::IsWindowEnabled(m_hWnd));
  }
  Press(m_hWnd, IDCANCEL);
  EXPECT_EQ(WaitForExit(), 0u);
}

}  // namespace
