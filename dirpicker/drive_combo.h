#pragma once
// The drive list of the Select Directory dialog: one item per logical drive, "X: " and the
// volume label when it can be read, kept in letter order by the list's sorted style.
#include <windows.h>

#include "framework/controls.h"

namespace qm::dirpicker {

class CDriveCombo : public qm::fw::CComboBox {
 public:
  // Fills the list and selects the current directory's drive. 0 when the system gives no
  // drives or no current directory (after telling the user), else 1.
  int FillDriveList();
  // Whether the drive of item nIndex can be searched; tells the user when it cannot.
  int IsDriveReady(int nIndex);
  // Selects the item of drive chLetter, if there is one.
  void SelectDrive(char chLetter);

  static const qm::fw::MessageMap kMessageMap;
  const qm::fw::MessageMap* GetMessageMap() const override { return &kMessageMap; }
};

}  // namespace qm::dirpicker
