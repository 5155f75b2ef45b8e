// The program of the output benchmark. It waits for a go file, writes its lines, creates a
// done file and then waits to be stopped (Ctrl+Break).
//   bench_writer.exe fast <bytes> <line size> <go file> <done file> [output file [append]]
//     lines as fast as it can, through the C runtime, to standard output or to the file (made
//     anew, or appended to, as a program keeping a log opens it)
//   bench_writer.exe slow <lines> <interval ms> <go file> <done file>
//     one line at a time, each "<performance counter at its write> ...", flushed at once
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

BOOL WINAPI OnConsoleEvent(DWORD) {
  ::ExitProcess(0);
}

void WaitForFile(const char* pszPath) {
  while (::GetFileAttributesA(pszPath) == INVALID_FILE_ATTRIBUTES) ::Sleep(5);
}

void Touch(const char* pszPath) {
  HANDLE hFile = ::CreateFileA(pszPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (hFile != INVALID_HANDLE_VALUE) ::CloseHandle(hFile);
}

}  // namespace

int main(int argc, char** argv) {
  ::SetConsoleCtrlHandler(nullptr, FALSE);
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  if (argc < 6) return 2;
  std::string strMode = argv[1];
  long long llCount = std::atoll(argv[2]);
  long nParameter = std::atol(argv[3]);
  WaitForFile(argv[4]);
  _setmode(_fileno(stdout), _O_BINARY);  // the same bytes to the pipe as to the file
  if (strMode == "fast") {
    const bool bAppend = argc > 7 && std::strcmp(argv[7], "append") == 0;
    FILE* pOut = argc > 6 ? std::fopen(argv[6], bAppend ? "ab" : "wb") : stdout;
    if (!pOut) return 3;
    std::string strLine(static_cast<std::size_t>(nParameter - 1), 'x');
    strLine += '\n';
    for (long long llWritten = 0; llWritten < llCount; llWritten += nParameter) {
      std::snprintf(strLine.data(), 12, "%010lld", llWritten / nParameter);
      strLine[10] = ' ';
      std::fwrite(strLine.data(), 1, strLine.size(), pOut);
    }
    std::fflush(pOut);
    if (pOut != stdout) std::fclose(pOut);
  } else {
    HANDLE hOut = ::GetStdHandle(STD_OUTPUT_HANDLE);
    for (long long n = 0; n < llCount; ++n) {
      LARGE_INTEGER counter;
      ::QueryPerformanceCounter(&counter);
      char szLine[64];
      int nLength = std::snprintf(szLine, sizeof(szLine), "%lld slow line\n",
                                  static_cast<long long>(counter.QuadPart));
      DWORD dwWritten = 0;
      ::WriteFile(hOut, szLine, static_cast<DWORD>(nLength), &dwWritten, nullptr);
      ::Sleep(static_cast<DWORD>(nParameter));
    }
  }
  Touch(argv[5]);
  for (;;) ::Sleep(1000);
}
