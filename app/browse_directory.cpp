// The main dialog's Working Directory "..." button: the Select Directory dialog, and on OK
// its path in the field (whose change notification then re-runs the button rule).
#include "app/quillmont_dlg.h"
#include "dirpicker/select_dir_dlg.h"
#include "res/resource.h"

namespace qm::app {

void CQuillmontDlg::OnBrowseDirectory() {
  dirpicker::CSelectDirDlg dlg(this);
  if (dlg.DoModal() == IDOK) SetDlgItemText(IDC_WORKING_DIR, dlg.GetPath().c_str());
}

}  // namespace qm::app
