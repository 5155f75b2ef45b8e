#include "cli/win32_password_input.h"

#include <windows.h>

namespace qm::cli {

namespace {

// A password is far shorter; a longer line is no password (a file piped in by mistake).
constexpr std::size_t kMaxLine = 1024;

// Byte by byte up to the line's end, so that nothing after it is taken from a pipe; true when
// a line (or the input's last piece) was read.
bool ReadLineFrom(HANDLE hIn, bool bConsole, std::string* pLine) {
  pLine->clear();
  bool bAny = false;
  for (;;) {
    char ch = 0;
    DWORD cbRead = 0;
    const BOOL bOk = bConsole ? ::ReadConsoleA(hIn, &ch, 1, &cbRead, nullptr)
                              : ::ReadFile(hIn, &ch, 1, &cbRead, nullptr);
    if (!bOk || cbRead == 0) return bAny;
    bAny = true;
    if (ch == '\n') break;
    if (pLine->size() > kMaxLine) return false;
    pLine->push_back(ch);
  }
  if (!pLine->empty() && pLine->back() == '\r') pLine->pop_back();
  return true;
}

void WriteError(const std::string& strText) {
  const HANDLE hErr = ::GetStdHandle(STD_ERROR_HANDLE);
  DWORD cbWritten = 0;
  if (hErr != nullptr && hErr != INVALID_HANDLE_VALUE) {
    ::WriteFile(hErr, strText.data(), static_cast<DWORD>(strText.size()), &cbWritten, nullptr);
  }
}

}  // namespace

bool CWin32PasswordInput::ReadStandardInputLine(std::string* pLine) {
  const HANDLE hIn = ::GetStdHandle(STD_INPUT_HANDLE);
  if (hIn == nullptr || hIn == INVALID_HANDLE_VALUE) return false;
  return ReadLineFrom(hIn, StandardInputIsConsole(), pLine);
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
  ::SetConsoleMode(hIn, (dwMode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) | ENABLE_LINE_INPUT |
                            ENABLE_PROCESSED_INPUT);
  const bool bRead = ReadLineFrom(hIn, true, pLine);
  ::SetConsoleMode(hIn, dwMode);
  WriteError("\r\n");  // the line end the echo did not show
  return bRead;
}

}  // namespace qm::cli
