#pragma once
// The window's Install and Remove boxes, owned by the main dialog's window. The window exists
// only once the dialog runs, so the owner is looked up at each box.

#include "app/message_box.h"
#include "framework/wnd.h"

namespace qm::app {

class COwnedMessageBox : public IMessageBox {
 public:
  int Show(const char* pszText, const char* pszCaption, std::uint32_t dwStyle) override {
    HWND hOwner = m_pOwner != nullptr ? m_pOwner->GetSafeHwnd() : nullptr;
    return ::MessageBoxA(hOwner, pszText, pszCaption, dwStyle);
  }

  const qm::fw::CWnd* m_pOwner = nullptr;
};

}  // namespace qm::app
