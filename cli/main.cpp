// quillmnt.com: the console twin of quillmnt.exe. cmd and PowerShell find it first for
// "quillmnt" (PATHEXT lists .COM before .EXE) and, it being a console program, wait for it,
// hand it their console and take its exit code.

#include <windows.h>

#include <string>
#include <string_view>

#include "cli/cli_tool.h"
#include "cli/win32_batch_code_page.h"
#include "cli/win32_runner_view.h"
#include "quillmont_version.h"
#include "service/win32_platform.h"

namespace {

// Writes whole lines to a standard handle, a console or a redirected file or pipe alike.
class CStdConsole : public qm::cli::IConsole {
 public:
  void Out(std::string_view line) override { Write(STD_OUTPUT_HANDLE, line); }
  void Err(std::string_view line) override { Write(STD_ERROR_HANDLE, line); }

 private:
  static void Write(DWORD dwWhich, std::string_view line) {
    const HANDLE hOut = ::GetStdHandle(dwWhich);
    if (hOut == nullptr || hOut == INVALID_HANDLE_VALUE) return;
    std::string strText;
    strText.reserve(line.size() + 2);
    for (char ch : line) {
      if (ch == '\n') strText.push_back('\r');
      strText.push_back(ch);
    }
    strText += "\r\n";
    DWORD cbWritten = 0;
    ::WriteFile(hOut, strText.data(), static_cast<DWORD>(strText.size()), &cbWritten, nullptr);
  }
};

}  // namespace

int main() {
  qm::svc::CWin32ServiceManager scm;
  qm::svc::CWin32Registry registry;
  qm::svc::CWin32System system;
  qm::cli::CWin32RunnerView runnerView;
  qm::cli::CWin32BatchCodePage batchCodePage;
  CStdConsole console;
  qm::cli::CCommandLineTool tool(scm, registry, system, runnerView, batchCodePage, console,
                                 QM_VERSION_STRING);
  return tool.Run(::GetCommandLineA());
}
