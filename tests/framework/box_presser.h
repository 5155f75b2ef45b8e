#pragma once
// Answers a message box that this process shows: a helper thread waits for a dialog with the
// given caption, notes its text and presses a button, so that a test never hangs on a box
// with nobody to answer it.

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

namespace qm::test {

class CBoxPresser {
 public:
  CBoxPresser(const char* pszCaption, int nButton, DWORD dwTimeoutMs = 10000)
      : m_strCaption(pszCaption), m_nButton(nButton) {
    m_thread = std::thread([this, dwTimeoutMs] { Run(dwTimeoutMs); });
  }
  ~CBoxPresser() { Join(); }
  CBoxPresser(const CBoxPresser&) = delete;
  CBoxPresser& operator=(const CBoxPresser&) = delete;

  void Join() {
    if (m_thread.joinable()) m_thread.join();
  }
  bool Pressed() {
    Join();
    return m_bPressed;
  }
  // The texts of the box's static controls, joined by '|'.
  std::string Text() {
    Join();
    return m_strText;
  }

 private:
  void Run(DWORD dwTimeoutMs) {
    DWORD dwStart = ::GetTickCount();
    while (::GetTickCount() - dwStart < dwTimeoutMs) {
      HWND hBox = ::FindWindowA("#32770", m_strCaption.c_str());
      DWORD dwPid = 0;
      if (hBox != nullptr) ::GetWindowThreadProcessId(hBox, &dwPid);
      if (hBox != nullptr && dwPid == ::GetCurrentProcessId() && ::IsWindowVisible(hBox)) {
        ::EnumChildWindows(hBox, &CBoxPresser::CollectText, reinterpret_cast<LPARAM>(this));
        ::PostMessageA(hBox, WM_COMMAND, MAKEWPARAM(m_nButton, BN_CLICKED), 0);
        m_bPressed = true;
        return;
      }
      ::Sleep(20);
    }
  }
  static BOOL CALLBACK CollectText(HWND hChild, LPARAM lParam) {
    auto* pThis = reinterpret_cast<CBoxPresser*>(lParam);
    char szClass[32] = "";
    ::GetClassNameA(hChild, szClass, sizeof(szClass));
    if (lstrcmpiA(szClass, "Static") == 0) {
      char szText[1024] = "";
      ::GetWindowTextA(hChild, szText, sizeof(szText));
      if (szText[0] != '\0') {
        if (!pThis->m_strText.empty()) pThis->m_strText += "|";
        pThis->m_strText += szText;
      }
    }
    return TRUE;
  }

  std::string m_strCaption;
  int m_nButton;
  std::atomic<bool> m_bPressed{false};
  std::string m_strText;
  std::thread m_thread;
};

}  // namespace qm::test
