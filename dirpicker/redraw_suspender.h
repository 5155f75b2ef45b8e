#pragma once
// Stops a window's redrawing for the lifetime of the object, then repaints it once. The tree
// control otherwise recomputes and repaints its visible items for every single insertion or
// deletion, which makes bulk changes quadratic (minutes for tens of thousands of items).
#include <windows.h>

namespace qm::dirpicker {

class CRedrawSuspender {
 public:
  explicit CRedrawSuspender(HWND hWnd) : m_hWnd(hWnd) {
    ::SendMessageA(m_hWnd, WM_SETREDRAW, FALSE, 0);
  }
  ~CRedrawSuspender() {
    ::SendMessageA(m_hWnd, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
  }
  CRedrawSuspender(const CRedrawSuspender&) = delete;
  CRedrawSuspender& operator=(const CRedrawSuspender&) = delete;

 private:
  HWND m_hWnd;
};

}  // namespace qm::dirpicker
