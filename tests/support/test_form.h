#pragma once
// The main form as plain strings: reads cut to the capacity, as the dialog's controls do.

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "app/service_form.h"

namespace qm::test {

class CTestForm : public app::IServiceForm {
 public:
  void ReadField(int id, char* buffer, int capacity) override {
    const std::string& strText = m_fields[id];
    const std::size_t cch = std::min(strText.size(), static_cast<std::size_t>(capacity - 1));
    std::memcpy(buffer, strText.data(), cch);
    buffer[cch] = '\0';
  }
  void WriteField(int id, const char* text) override { m_fields[id] = text; }

  std::map<int, std::string> m_fields;
};

}  // namespace qm::test
