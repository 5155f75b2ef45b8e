#pragma once
// BeginPaint/EndPaint owned by one scope.

#include <windows.h>

#include "framework/wnd.h"

namespace qm::fw {

class CPaintDC {
 public:
  explicit CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->GetSafeHwnd()) {
    m_hDC = ::BeginPaint(m_hWnd, &m_ps);
  }
  ~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }
  CPaintDC(const CPaintDC&) = delete;
  CPaintDC& operator=(const CPaintDC&) = delete;

  HDC GetSafeHdc() const { return m_hDC; }

  PAINTSTRUCT m_ps{};

 private:
  HWND m_hWnd;
  HDC m_hDC = nullptr;
};

}  // namespace qm::fw
