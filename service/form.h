#pragma once
// How the service commands reach the main form: read a field with a capacity, write one.
// The main dialog implements it with its controls; tests implement it with plain strings.

#include "res/resource.h"

namespace qm::svc {

class IServiceForm {
 public:
  virtual ~IServiceForm() = default;
  // Copies at most capacity - 1 characters of the field's text and a NUL into buffer.
  // For the Startup list the text is that of the selected item.
  virtual void ReadField(int id, char* buffer, int capacity) = 0;
  // Replaces the field's text (an edit field then reports the change, as when typed).
  virtual void WriteField(int id, const char* text) = 0;
};

}  // namespace qm::svc
