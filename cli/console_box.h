#pragma once
// The window's commands end in message boxes; on the command line their texts become lines on
// standard output (results) or standard error (failures), and their questions are answered
// from the command's options. The form they read is filled from the command's arguments.

#include <map>
#include <string>
#include <string_view>

#include "service/form.h"
#include "service/platform.h"

namespace qm::cli {

class IConsole {
 public:
  virtual ~IConsole() = default;
  virtual void Out(std::string_view line) = 0;  // one line of result, no line break
  virtual void Err(std::string_view line) = 0;  // one line of failure, no line break
};

// A message text on one line: its line breaks and the blanks around them become one blank.
std::string OneLine(std::string_view text);

class CConsoleMessageBox : public svc::IMessageBox {
 public:
  explicit CConsoleMessageBox(IConsole& console) : m_console(console) {}
  // Before each command: whether the sterner question may be answered Yes.
  void Reset(bool bForce);
  int Show(const char* text, const char* caption, std::uint32_t style) override;
  bool Failed() const { return m_bFailed; }
  bool Succeeded() const { return m_bSucceeded; }

 private:
  IConsole& m_console;
  bool m_bForce = false;
  bool m_bFailed = false;
  bool m_bSucceeded = false;
};

// The form of the window, with the values a command gives it.
class CRequestForm : public svc::IServiceForm {
 public:
  void ReadField(int id, char* buffer, int capacity) override;
  void WriteField(int id, const char* text) override { m_fields[id] = text; }
  std::map<int, std::string> m_fields;
};

}  // namespace qm::cli
