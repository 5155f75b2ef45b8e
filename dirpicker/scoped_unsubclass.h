#pragma once
// Takes a bound control out of our message routing for the lifetime of the object, so that
// its own window procedure gets its messages directly, and binds it again at the end. Bulk
// changes send one message per item, and routing each through the window object costs a
// window-property lookup (a server round trip under Wine): several times the control's own
// work in folders with tens of thousands of subdirectories.
#include <windows.h>

#include "framework/wnd.h"

namespace qm {

class CScopedUnsubclass {
 public:
  explicit CScopedUnsubclass(fw::CWnd& rWnd) : m_rWnd(rWnd), m_hWndTaken(rWnd.UnsubclassWindow()) {
    m_hWnd = m_hWndTaken ? m_hWndTaken : rWnd.m_hWnd;
  }
  ~CScopedUnsubclass() {
    if (m_hWndTaken) m_rWnd.SubclassWindow(m_hWndTaken);
  }
  CScopedUnsubclass(const CScopedUnsubclass&) = delete;
  CScopedUnsubclass& operator=(const CScopedUnsubclass&) = delete;

  // The control's window while the object exists.
  HWND GetHwnd() const { return m_hWnd; }

 private:
  fw::CWnd& m_rWnd;
  HWND m_hWndTaken;  // null when the control was not subclassed
  HWND m_hWnd;
};

}  // namespace qm
