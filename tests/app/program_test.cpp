// quillmnt.exe as a whole: it starts with its main window and ends, with exit code 0, when
// that window is closed by the Close button or the system menu's Close.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

struct FindData {
  DWORD dwPid;
  HWND hWnd;
};

BOOL CALLBACK FindMainWindow(HWND hWnd, LPARAM lParam) {
  auto* pFind = reinterpret_cast<FindData*>(lParam);
  DWORD dwPid = 0;
  ::GetWindowThreadProcessId(hWnd, &dwPid);
  char szTitle[32] = "";
  ::GetWindowTextA(hWnd, szTitle, sizeof(szTitle));
  if (dwPid == pFind->dwPid && std::string(szTitle) == "Quillmont" && ::IsWindowVisible(hWnd)) {
    pFind->hWnd = hWnd;
    return FALSE;
  }
  return TRUE;
}

class Program : public ::testing::Test {
 protected:
  void SetUp() override {
    char szPath[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, szPath, sizeof(szPath));
    std::string strExe = szPath;
    strExe = strExe.substr(0, strExe.find_last_of('\\') + 1) + "quillmnt.exe";
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    std::string strCommand = "\"" + strExe + "\"";
    ASSERT_TRUE(::CreateProcessA(strExe.c_str(), strCommand.data(), nullptr, nullptr, FALSE, 0,
                                 nullptr, nullptr, &si, &m_pi))
        << ::GetLastError();
    ::CloseHandle(m_pi.hThread);
    FindData find{m_pi.dwProcessId, nullptr};
    for (int i = 0; i < 300 && find.hWnd == nullptr; ++i) {
      ::EnumWindows(&FindMainWindow, reinterpret_cast<LPARAM>(&find));
      if (find.hWnd == nullptr) ::Sleep(50);
    }
    m_hWnd = find.hWnd;
  }
  void TearDown() override {
    if (m_pi.hProcess == nullptr) return;
    if (::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT) {
      ::TerminateProcess(m_pi.hProcess, 99);
      ::WaitForSingleObject(m_pi.hProcess, 5000);
    }
    ::CloseHandle(m_pi.hProcess);
  }
  DWORD WaitForExit() {
    if (::WaitForSingleObject(m_pi.hProcess, 15000) != WAIT_OBJECT_0) return 0xFFFFFFFF;
    DWORD dwCode = 0xFFFFFFFF;
    ::GetExitCodeProcess(m_pi.hProcess, &dwCode);
    return dwCode;
  }

  PROCESS_INFORMATION m_pi{};
  HWND m_hWnd = nullptr;
};

TEST_F(Program, CloseButtonEndsTheProgramWithoutAsking) {
  ASSERT_NE(m_hWnd, nullptr);
  ::SetDlgItemTextA(m_hWnd, 1011, "unsaved");
  ::PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(m_hWnd, IDCANCEL)));
  EXPECT_EQ(WaitForExit(), 0u);
}

TEST_F(Program, SystemMenuCloseEndsTheProgram) {
  ASSERT_NE(m_hWnd, nullptr);
  ::PostMessageA(m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(WaitForExit(), 0u);
}

}  // namespace
