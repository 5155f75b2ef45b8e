#pragma once
// The About box: everything it shows comes from its template; OK and Escape end it.

#include "framework/dialog.h"
#include "res/resource.h"

namespace qm::app {

class CAboutDlg : public qm::fw::CDialog {
 public:
  CAboutDlg() : CDialog(IDD_ABOUTBOX, nullptr) {}
};

}  // namespace qm::app
