#pragma once
// The main form as the window's Install and Remove read it: a field by control id, with a
// capacity, and written when a command empties it. The main dialog implements it with its
// controls; tests with plain strings.

#include "res/resource.h"

namespace qm::app {

// The capacities, in bytes with the NUL, with which Install reads the fields. The dialog
// limits each edit field to one character less, so that what the user sees is what is stored.
inline constexpr int kNameCapacity = 81;    // Service Name, Display Name, Startup
inline constexpr int kListCapacity = 1024;  // Dependencies, Arguments
inline constexpr int kPathCapacity = 260;   // Executable, Working Directory

constexpr int FieldCapacity(int id) {
  switch (id) {
    case IDC_DEPENDENCIES:
    case IDC_ARGUMENTS:
      return kListCapacity;
    case IDC_EXECUTABLE:
    case IDC_WORKING_DIR:
      return kPathCapacity;
    default:
      return kNameCapacity;
  }
}

class IServiceForm {
 public:
  virtual ~IServiceForm() = default;
  // Copies at most capacity - 1 characters of the field's text and a NUL into buffer.
  // For the Startup list the text is that of the selected item.
  virtual void ReadField(int id, char* buffer, int capacity) = 0;
  // Replaces the field's text (an edit field then reports the change, as when typed).
  virtual void WriteField(int id, const char* text) = 0;
};

}  // namespace qm::app
