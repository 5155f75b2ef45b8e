// Stands in for the Working Directory browse handler until the directory picker provides
// it (dirpicker/browse_directory.cpp); the button does nothing meanwhile.
#include "app/quillmont_dlg.h"

void CQuillmontDlg::OnBrowseDirectory() {}
