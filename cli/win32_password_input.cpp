#include "cli/win32_password_input.h"

#include <windows.h>

namespace qm::cli {

namespace {

// A password is far shorter; a longer line is no password (a file piped in by mistake).
constexpr std::size_t kMaxLine = 1024;

void WriteError(const std::string& strText) {
  const HANDLE hErr = ::GetStdHandle(STD_ERROR_HANDLE);
  DWORD cbWritten = 0;
  if (hErr != nullptr && hErr != INVALID_HANDLE_VALUE) {
    ::WriteFile(hErr, strText.data(), static_cast<DWORD>(strText.size()), &cbWritten, nullptr);
  }
}

// Byte by byte up to the line's end, so that nothing after it is taken from a pipe; true when
// a line (or the input's last piece) was read. A UTF-8 byte order mark before it (PowerShell's
// Out-File writes one) is no part of the password.
bool ReadPipedLine(HANDLE hIn, std::string* pLine) {
  pLine->clear();
  bool bAny = false;
  for (;;) {
    char ch = 0;
    DWORD cbRead = 0;
    if (!::ReadFile(hIn, &ch, 1, &cbRead, nullptr) || cbRead == 0) break;
    bAny = true;
    if (ch == '\n') break;
    if (pLine->size() > kMaxLine) return false;
    pLine->push_back(ch);
  }
  if (pLine->compare(0, 3, "\xEF\xBB\xBF") == 0) pLine->erase(0, 3);
  if (!pLine->empty() && pLine->back() == '\r') pLine->pop_back();
  return bAny;
}

// A line typed at the console, read as the characters typed (the console's own code page is
// the OEM one) and turned into the ANSI code page the service manager reads the password in;
// false when there is none, or when it holds a character that page cannot carry.
bool ReadConsoleLine(HANDLE hIn, std::string* pLine) {
  std::wstring strWide;
  bool bAny = false;
  for (;;) {
    wchar_t ch = 0;
    DWORD cchRead = 0;
    if (!::ReadConsoleW(hIn, &ch, 1, &cchRead, nullptr) || cchRead == 0) break;
    bAny = true;
    if (ch == L'\n') break;
    if (strWide.size() > kMaxLine) return false;
    strWide.push_back(ch);
  }
  if (!strWide.empty() && strWide.back() == L'\r') strWide.pop_back();
  pLine->clear();
  if (!bAny || strWide.empty()) return bAny;
  const int cch = static_cast<int>(strWide.size());
  BOOL bLost = FALSE;
  const int cb = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, strWide.data(), cch, nullptr,
                                       0, nullptr, &bLost);
  if (cb <= 0 || bLost) {
    WriteError("The password holds a character this system's ANSI code page cannot carry.\r\n");
    return false;
  }
  pLine->resize(static_cast<std::size_t>(cb));
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, strWide.data(), cch, pLine->data(), cb,
                        nullptr, nullptr);
  return true;
}

// Ctrl+C or Ctrl+Break at the prompt ends the process: the console gets its echo back first.
HANDLE g_hEchoInput = nullptr;
DWORD g_dwEchoMode = 0;

BOOL WINAPI RestoreEcho(DWORD) {
  ::SetConsoleMode(g_hEchoInput, g_dwEchoMode);
  return FALSE;  // and the process ends as it would have
}

}  // namespace

bool CWin32PasswordInput::ReadStandardInputLine(std::string* pLine) {
  const HANDLE hIn = ::GetStdHandle(STD_INPUT_HANDLE);
  if (hIn == nullptr || hIn == INVALID_HANDLE_VALUE) return false;
  // Typed at the console after all: not shown either.
  if (StandardInputIsConsole()) return ReadHidden("", pLine);
  return ReadPipedLine(hIn, pLine);
}

bool CWin32PasswordInput::StandardInputIsConsole() {
  DWORD dwMode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &dwMode) != FALSE;
}

bool CWin32PasswordInput::ReadHidden(const std::string& strPrompt, std::string* pLine) {
  const HANDLE hIn = ::GetStdHandle(STD_INPUT_HANDLE);
  DWORD dwMode = 0;
  if (!::GetConsoleMode(hIn, &dwMode)) return false;
  // The prompt on standard error, which stays on the screen when the output goes to a file.
  WriteError(strPrompt);
  g_hEchoInput = hIn;
  g_dwEchoMode = dwMode;
  ::SetConsoleCtrlHandler(RestoreEcho, TRUE);
  ::SetConsoleMode(hIn, (dwMode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) | ENABLE_LINE_INPUT |
                            ENABLE_PROCESSED_INPUT);
  const bool bRead = ReadConsoleLine(hIn, pLine);
  ::SetConsoleMode(hIn, dwMode);
  ::SetConsoleCtrlHandler(RestoreEcho, FALSE);
  WriteError("\r\n");  // the line end the echo did not show
  return bRead;
}

}  // namespace qm::cli
