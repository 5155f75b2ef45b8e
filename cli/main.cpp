// quillmnt.com: the console twin of quillmnt.exe. cmd and PowerShell find it first for
// "quillmnt" (PATHEXT lists .COM before .EXE) and, it being a console program, wait for it,
// hand it their console and take its exit code.

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line_tool.h"
#include "cli/win32_apply_input.h"
#include "cli/win32_batch_code_page.h"
#include "cli/win32_password_input.h"
#include "cli/win32_runner_view.h"
#include "cli/win32_utf8_code_page.h"
#include "platform/win32_platform.h"
#include "quillmont_version.h"

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

// The command line in the ANSI code page, in which names and values are kept. Every place of
// a character that the code page cannot hold is noted, never silently replaced:
// GetCommandLineA would give such a character its nearest look-alike ("Ł" becomes "L") or a
// question mark, and a service named "Жук" would be installed as "???".
std::string NarrowCommandLine(std::vector<std::size_t>* pUnrepresentable) {
  const std::wstring_view wide = ::GetCommandLineW();
  const UINT uCodePage = ::GetACP();
  // UTF-8 holds every character, and takes neither flag below.
  const bool bUtf8 = uCodePage == CP_UTF8;
  std::string strLine;
  strLine.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size();) {
    // One character at a time: a surrogate pair is one character.
    const int cchChar = IS_HIGH_SURROGATE(wide[i]) && i + 1 < wide.size() ? 2 : 1;
    char szBytes[8];
    BOOL bUsedDefault = FALSE;
    int cb =
        ::WideCharToMultiByte(uCodePage, bUtf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide.data() + i, cchChar,
                              szBytes, sizeof(szBytes), nullptr, bUtf8 ? nullptr : &bUsedDefault);
    if (cb <= 0 || bUsedDefault) {
      pUnrepresentable->push_back(strLine.size());
      szBytes[0] = '?';
      cb = 1;
    }
    strLine.append(szBytes, static_cast<std::size_t>(cb));
    i += static_cast<std::size_t>(cchChar);
  }
  return strLine;
}

}  // namespace

int main() {
  qm::platform::CWin32ServiceManager scm;
  qm::platform::CWin32Registry registry;
  qm::platform::CWin32System system;
  qm::cli::CWin32RunnerView runnerView;
  qm::cli::CWin32BatchCodePage batchCodePage;
  qm::cli::CWin32Utf8CodePage utf8CodePage;
  qm::platform::CWin32AccountRights rights;
  qm::cli::CWin32ApplyInput applyInput;
  qm::cli::CWin32PasswordInput passwordInput;
  CStdConsole console;
  qm::cli::CCommandLineTool tool(scm, registry, system, rights, runnerView, batchCodePage,
                                 utf8CodePage, applyInput, passwordInput, console,
                                 QM_VERSION_STRING);
  std::vector<std::size_t> unrepresentable;
  const std::string strLine = NarrowCommandLine(&unrepresentable);
  return tool.Run(strLine, unrepresentable);
}
