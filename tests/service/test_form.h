#pragma once
// The main form as plain strings: reads cut to the capacity, as the dialog's controls do.

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "service/form.h"

namespace qm::svc::test {

class CTestForm : public IServiceForm {
 public:
  void ReadField(int id, char* buffer, int capacity) override {
    const std::string& strText = m_fields[id];
    const std::size_t cch = std::min(strText.size(), static_cast<std::size_t>(capacity - 1));
    std::memcpy(buffer, strText.data(), cch);
    buffer[cch] = '\0';
    m_reads.push_back(id);
    m_readCapacities.push_back(capacity);
  }
  void WriteField(int id, const char* text) override {
    m_fields[id] = text;
    m_writes.push_back(id);
  }

  std::map<int, std::string> m_fields;
  std::vector<int> m_reads;
  std::vector<int> m_readCapacities;
  std::vector<int> m_writes;
};

}  // namespace qm::svc::test
