// A stand-in for the programs that services run. What it does is chosen on its command line:
//   --record FILE     write its process id, command line, arguments, working directory,
//                     priority class and the variables named with --env, then "complete=1"
//   --env NAME        report the environment variable NAME in the record ("<unset>" if none)
//   --exit N          end at once with exit code N
//   --count FILE      append "start=<ms> pid=<id>" when it starts (<ms>: when the process
//                     was created) and "end=<ms>" before it ends with --exit, so a test sees
//                     every start of a service's program; times in ms of the system clock
//   --run-ms A,B,...  with --exit and --count: the n-th start runs that many milliseconds
//                     before it ends (the last number for every later start)
//   --ignore-stop     ignore Ctrl+Break, Ctrl+C and WM_CLOSE
//   --deaf-ms N       ignore them for its first N milliseconds, as a program still starting
//   --window          run a top-level window (ends on WM_CLOSE)
//   --child FILE      start a copy of itself that records into FILE and waits (and wait
//                     for that record)
//   --print TEXT      write TEXT to standard output and "err:" TEXT to standard error
//   --lines N         write N numbered lines to standard output and standard error, each
//                     "out 000001 <tick> xxx..." (or "err ...") of --size bytes with its line end
//                     (default 100), --rate lines a second to each stream (default: at once),
//                     --streams out|err|both (default both)
//   --long N          before those lines, one line of N bytes with its line end to each of
//                     those streams, in two halves 700 ms apart: "ABC...LMABC..." (13 letters
//                     repeated) to standard output, "NOP...YZNOP..." to standard error
//   --prompt TEXT     after everything else, TEXT to standard error without a line end
//   --print-after MS  wait MS before --print
// For the readiness and health checks, each after --after MS (default 0) in a thread of its
// own, a line "<what>=<ms>" appended to --marks FILE just before it happens:
//   --listen PORT     listen on 127.0.0.1:PORT ("listening"); each connection is closed at
//                     once, or answered with --http STATUS ("HTTP/1.1 STATUS") when given (a
//                     3xx with "Location: /moved", and a GET of /moved with 200), or
//                     with --silent kept open and never answered
//   --hang-after MS   MS after it began listening, close the listening socket ("hung"): the
//                     port refuses while the process lives on
//   --touch FILE      create FILE ("touched")
//   --pipe NAME       create the named pipe \\.\pipe\NAME and wait for a client ("piped")
//   --notify          write READY=1 to the pipe QUILLMONT_NOTIFY names ("notified"), then,
//                     with --watchdog MS, WATCHDOG=1 every MS for --watchdog-for MS (default
//                     forever) on the same connection, and --status TEXT as STATUS=TEXT first
//   --exit-if-exists FILE  as --exit 1 when FILE exists, else as --exit 0 (an exec: check)
// Without --exit it waits until it is asked to end (Ctrl+Break, Ctrl+C or WM_CLOSE); it then
// appends "ended-by=<how>" to its record file. The record also gives the value of its standard
// output handle ("stdout="), for a test that takes a copy, its standard error's ("stderr="), and
// what its standard output is ("stdout-type=": 1 a file, 3 a pipe). Like an ordinary program it
// only installs a console handler: it does not turn Ctrl+C on or off.
#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string g_strRecord;
std::string g_strCount;
std::string g_strEnvNames;  // "NAME\n" each
bool g_bIgnoreStop = false;
DWORD g_dwDeafMs = 0;
ULONGLONG g_ullStart = 0;

// Whether the program runs in a job before any of its own code: a program that could run
// outside it, even briefly, could start processes that escape it.
bool InJobNow() {
  BOOL bInJob = FALSE;
  return ::IsProcessInJob(::GetCurrentProcess(), nullptr, &bInJob) && bInJob;
}
bool g_bInJobAtStart = false;

// Called by the loader before any other code of the program, C runtime included.
void NTAPI OnLoaderEvent(PVOID, DWORD dwReason, PVOID) {
  if (dwReason == DLL_PROCESS_ATTACH) g_bInJobAtStart = InJobNow();
}
extern "C" __attribute__((section(".CRT$XLB"), used)) const PIMAGE_TLS_CALLBACK g_pOnLoaderEvent =
    OnLoaderEvent;

BOOL WINAPI OnConsoleEvent(DWORD dwEvent);

// A program still starting up ignores the stop from before its first own instruction on.
bool StartDeafEarly() {
  g_ullStart = ::GetTickCount64();
  const char* pszDeaf = std::strstr(::GetCommandLineA(), "--deaf-ms ");
  if (!pszDeaf) return false;
  g_dwDeafMs = static_cast<DWORD>(std::atoi(pszDeaf + std::strlen("--deaf-ms ")));
  return ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}
const bool g_bDeafHandler = StartDeafEarly();

void AppendLine(const std::string& strPath, const std::string& strLine) {
  FILE* pFile = std::fopen(strPath.c_str(), "ab");
  if (!pFile) return;
  std::fprintf(pFile, "%s\n", strLine.c_str());
  std::fclose(pFile);
}

std::uint64_t Milliseconds(const FILETIME& time) {
  return ((std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime) / 10000;
}

std::string Now() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  return std::to_string(Milliseconds(now));
}

// When the process was created, on the clock of Now(): a restart's gap measured from there
// leaves out the time a process takes to load, which varies widely on a busy machine.
std::string Created() {
  FILETIME created, exited, kernel, user;
  if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return Now();
  return std::to_string(Milliseconds(created));
}

// Notes this start in the count file; returns how many starts it held before.
int CountStart() {
  std::string strText;
  if (FILE* pFile = std::fopen(g_strCount.c_str(), "rb")) {
    char buffer[4096];
    size_t nRead;
    while ((nRead = std::fread(buffer, 1, sizeof(buffer), pFile)) > 0)
      strText.append(buffer, nRead);
    std::fclose(pFile);
  }
  int nBefore = 0;
  for (size_t pos = strText.find("start="); pos != std::string::npos;
       pos = strText.find("start=", pos + 1)) {
    ++nBefore;
  }
  AppendLine(g_strCount, "start=" + Created() + " pid=" + std::to_string(::GetCurrentProcessId()));
  return nBefore;
}

// The n-th number of a comma-separated list, or its last one.
int NthNumber(const std::string& strList, int n) {
  int nValue = 0;
  size_t pos = 0;
  for (int i = 0; i <= n && pos <= strList.size(); ++i) {
    nValue = std::atoi(strList.c_str() + pos);
    size_t comma = strList.find(',', pos);
    if (comma == std::string::npos) break;
    pos = comma + 1;
  }
  return nValue;
}

void AppendToRecord(const std::string& strLine) {
  if (!g_strRecord.empty()) AppendLine(g_strRecord, strLine);
}

// Written to a side file first and moved into place, so a reader never sees half a record.
void WriteRecord(int argc, char** argv) {
  std::string strText = "pid=" + std::to_string(::GetCurrentProcessId()) + "\n";
  strText += "cmdline=" + std::string(::GetCommandLineA()) + "\n";
  char szDirectory[MAX_PATH] = "";
  ::GetCurrentDirectoryA(sizeof(szDirectory), szDirectory);
  strText += "cwd=" + std::string(szDirectory) + "\n";
  char szSelf[MAX_PATH] = "";
  ::GetModuleFileNameA(nullptr, szSelf, sizeof(szSelf));
  strText += "exe=" + std::string(szSelf) + "\n";
  strText += std::string("in-job=") + (g_bInJobAtStart ? "1" : "0") + "\n";
  strText += "stdout=" +
             std::to_string(reinterpret_cast<std::uintptr_t>(::GetStdHandle(STD_OUTPUT_HANDLE))) +
             "\n";
  strText += "stderr=" +
             std::to_string(reinterpret_cast<std::uintptr_t>(::GetStdHandle(STD_ERROR_HANDLE))) +
             "\n";
  // 1: a file (the program writes it itself), 3: a pipe (the runner reads it).
  strText +=
      "stdout-type=" + std::to_string(::GetFileType(::GetStdHandle(STD_OUTPUT_HANDLE))) + "\n";
  for (int i = 1; i < argc; ++i) strText += "arg=" + std::string(argv[i]) + "\n";
  char szPriority[16];
  std::snprintf(szPriority, sizeof(szPriority), "0x%lx",
                static_cast<unsigned long>(::GetPriorityClass(::GetCurrentProcess())));
  strText += "priority=" + std::string(szPriority) + "\n";
  for (size_t pos = 0, end; (end = g_strEnvNames.find('\n', pos)) != std::string::npos;
       pos = end + 1) {
    std::string strName = g_strEnvNames.substr(pos, end - pos);
    char szValue[4096];
    DWORD dwLength = ::GetEnvironmentVariableA(strName.c_str(), szValue, sizeof(szValue));
    bool bSet = dwLength > 0 && dwLength < sizeof(szValue);
    strText += "env." + strName + "=" + (bSet ? std::string(szValue) : "<unset>") + "\n";
  }
  // The last line: a reader that sees it has the whole record.
  strText += "complete=1\n";
  std::string strTemp = g_strRecord + ".tmp";
  FILE* pFile = std::fopen(strTemp.c_str(), "wb");
  if (!pFile) return;
  std::fputs(strText.c_str(), pFile);
  std::fclose(pFile);
  ::MoveFileExA(strTemp.c_str(), g_strRecord.c_str(), MOVEFILE_REPLACE_EXISTING);
}

BOOL WINAPI OnConsoleEvent(DWORD dwEvent) {
  if (g_bIgnoreStop || ::GetTickCount64() - g_ullStart < g_dwDeafMs) return TRUE;
  AppendToRecord(dwEvent == CTRL_BREAK_EVENT ? "ended-by=break"
                 : dwEvent == CTRL_C_EVENT   ? "ended-by=ctrl-c"
                                             : "ended-by=console-event");
  ::ExitProcess(0);
}

LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (uMsg == WM_CLOSE) {
    if (g_bIgnoreStop) return 0;
    AppendToRecord("ended-by=close");
    ::DestroyWindow(hWnd);
    return 0;
  }
  if (uMsg == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

int RunWindow() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.lpszClassName = "QuillmontProbe";
  ::RegisterClassA(&wc);
  ::CreateWindowExA(0, wc.lpszClassName, "probe", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                    nullptr, wc.hInstance, nullptr);
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) ::DispatchMessageA(&msg);
  return 0;
}

bool StartChild(const std::string& strRecord) {
  char szSelf[MAX_PATH];
  ::GetModuleFileNameA(nullptr, szSelf, sizeof(szSelf));
  std::string strLine = "\"" + std::string(szSelf) + "\" --record \"" + strRecord + "\"";
  if (g_bIgnoreStop) strLine += " --ignore-stop";
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessA(nullptr, strLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    return false;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  // The copy is known to run once its record is there.
  for (int i = 0; i < 200 && ::GetFileAttributesA(strRecord.c_str()) == INVALID_FILE_ATTRIBUTES;
       ++i) {
    ::Sleep(50);
  }
  return true;
}

// At once, written through the C runtime's buffering as most programs write: lines reach the
// pipe in pieces that do not follow line ends. At a rate, one write a line.
void WriteLines(long nLines, long nSize, long nRate, const std::string& strStreams, long nLong) {
  // Binary: each line is exactly nSize bytes.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  bool bOut = strStreams != "err";
  bool bErr = strStreams != "out";
  if (nLong > 0) {
    // Longer than any buffer on the way, and left unfinished for a while halfway.
    for (int nHalf = 0; nHalf < 2; ++nHalf) {
      for (int nStream = 0; nStream < 2; ++nStream) {
        if (!(nStream == 0 ? bOut : bErr)) continue;
        long nFrom = nHalf == 0 ? 0 : nLong / 2;
        long nTo = nHalf == 0 ? nLong / 2 : nLong - 1;
        std::string strHalf;
        for (long i = nFrom; i < nTo; ++i) {
          strHalf += static_cast<char>((nStream == 0 ? 'A' : 'N') + i % 13);
        }
        if (nHalf == 1) strHalf += '\n';
        DWORD dwWritten = 0;
        ::WriteFile(::GetStdHandle(nStream == 0 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE),
                    strHalf.data(), static_cast<DWORD>(strHalf.size()), &dwWritten, nullptr);
      }
      if (nHalf == 0) ::Sleep(700);
    }
  }
  ULONGLONG ullStart = ::GetTickCount64();
  std::string strLine;
  for (long n = 1; n <= nLines; ++n) {
    for (int nStream = 0; nStream < 2; ++nStream) {
      if (!(nStream == 0 ? bOut : bErr)) continue;
      char szHead[64];
      std::snprintf(szHead, sizeof(szHead), "%s %06ld %llu ", nStream == 0 ? "out" : "err", n,
                    static_cast<unsigned long long>(::GetTickCount64()));
      strLine = szHead;
      if (static_cast<long>(strLine.size()) + 1 < nSize)
        strLine.append(nSize - 1 - strLine.size(), 'x');
      strLine += '\n';
      if (nRate > 0) {
        // One write a line: a stop request that ends the probe midway cannot make the C
        // runtime write a line twice.
        DWORD dwWritten = 0;
        ::WriteFile(::GetStdHandle(nStream == 0 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE),
                    strLine.data(), static_cast<DWORD>(strLine.size()), &dwWritten, nullptr);
      } else {
        std::fwrite(strLine.data(), 1, strLine.size(), nStream == 0 ? stdout : stderr);
      }
    }
    if (nRate > 0) {
      ULONGLONG ullDue =
          ullStart + static_cast<ULONGLONG>(n) * 1000 / static_cast<ULONGLONG>(nRate);
      ULONGLONG ullNow = ::GetTickCount64();
      if (ullDue > ullNow) ::Sleep(static_cast<DWORD>(ullDue - ullNow));
    }
  }
  std::fflush(stdout);
  std::fflush(stderr);
}

std::string g_strMarks;
DWORD g_dwAfterMs = 0;

void Mark(const char* pszWhat) {
  if (!g_strMarks.empty()) AppendLine(g_strMarks, std::string(pszWhat) + "=" + Now());
}

struct Listen {
  int nPort = 0;
  int nHttpStatus = 0;  // 0: plain tcp
  DWORD dwHangAfterMs = 0;
  bool bSilent = false;
};

// Serves the port until the hang: tcp connections are closed at once, HTTP ones answered
// after the request's header.
DWORD WINAPI ListenThread(void* pContext) {
  const Listen listen = *static_cast<Listen*>(pContext);
  ::Sleep(g_dwAfterMs);
  WSADATA data;
  ::WSAStartup(MAKEWORD(2, 2), &data);
  SOCKET hListen = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  BOOL bReuse = TRUE;
  ::setsockopt(hListen, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&bReuse),
               sizeof(bReuse));
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(listen.nPort));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  Mark("listening");
  if (::bind(hListen, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(hListen, 16) != 0) {
    Mark("listen-failed");
    return 1;
  }
  const ULONGLONG ullHang =
      listen.dwHangAfterMs ? ::GetTickCount64() + listen.dwHangAfterMs : ~0ull;
  for (;;) {
    const ULONGLONG ullNow = ::GetTickCount64();
    if (ullNow >= ullHang) break;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(hListen, &readable);
    timeval wait = {0, 50000};
    if (::select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;
    SOCKET hClient = ::accept(hListen, nullptr, nullptr);
    if (hClient == INVALID_SOCKET) continue;
    if (listen.bSilent) continue;  // held open, never answered, until the process ends
    if (listen.nHttpStatus != 0) {
      std::string strRequest;
      char buffer[1024];
      int nRead;
      while (strRequest.find("\r\n\r\n") == std::string::npos &&
             (nRead = ::recv(hClient, buffer, sizeof(buffer), 0)) > 0) {
        strRequest.append(buffer, static_cast<size_t>(nRead));
      }
      // A redirect leads to a page that would pass: a check that followed it would too.
      const bool bMoved = strRequest.rfind("GET /moved ", 0) == 0;
      const int nStatus = bMoved ? 200 : listen.nHttpStatus;
      std::string strAnswer = "HTTP/1.1 " + std::to_string(nStatus) + " Probe\r\n";
      if (nStatus / 100 == 3) strAnswer += "Location: /moved\r\n";
      strAnswer += "Content-Length: 0\r\nConnection: close\r\n\r\n";
      ::send(hClient, strAnswer.data(), static_cast<int>(strAnswer.size()), 0);
      ::shutdown(hClient, SD_SEND);
    }
    ::closesocket(hClient);
  }
  Mark("hung");
  ::closesocket(hListen);
  return 0;
}

DWORD WINAPI TouchThread(void* pContext) {
  const std::string strPath = *static_cast<std::string*>(pContext);
  ::Sleep(g_dwAfterMs);
  Mark("touched");
  AppendLine(strPath, "ready");
  return 0;
}

DWORD WINAPI PipeThread(void* pContext) {
  const std::string strName = "\\\\.\\pipe\\" + *static_cast<std::string*>(pContext);
  ::Sleep(g_dwAfterMs);
  Mark("piped");
  HANDLE hPipe =
      ::CreateNamedPipeA(strName.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr);
  if (hPipe != INVALID_HANDLE_VALUE) ::ConnectNamedPipe(hPipe, nullptr);
  return 0;
}

struct Notify {
  DWORD dwWatchdogMs = 0;
  DWORD dwWatchdogForMs = 0;  // 0: forever
  std::string strStatus;
};

DWORD WINAPI NotifyThread(void* pContext) {
  const Notify notify = *static_cast<Notify*>(pContext);
  ::Sleep(g_dwAfterMs);
  char szPipe[256] = "";
  if (!::GetEnvironmentVariableA("QUILLMONT_NOTIFY", szPipe, sizeof(szPipe))) {
    Mark("no-notify-variable");
    return 1;
  }
  HANDLE hPipe = ::CreateFileA(szPipe, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (hPipe == INVALID_HANDLE_VALUE) {
    Mark("notify-failed");
    return 1;
  }
  const auto write = [&](const std::string& strLine) {
    DWORD dwWritten = 0;
    ::WriteFile(hPipe, strLine.data(), static_cast<DWORD>(strLine.size()), &dwWritten, nullptr);
  };
  if (!notify.strStatus.empty()) write("STATUS=" + notify.strStatus + "\n");
  Mark("notified");
  write("READY=1\n");
  const ULONGLONG ullUntil =
      notify.dwWatchdogForMs ? ::GetTickCount64() + notify.dwWatchdogForMs : ~0ull;
  while (notify.dwWatchdogMs != 0 && ::GetTickCount64() < ullUntil) {
    ::Sleep(notify.dwWatchdogMs);
    write("WATCHDOG=1\n");
  }
  Mark("watchdog-ended");
  ::CloseHandle(hPipe);
  return 0;
}

void StartThread(LPTHREAD_START_ROUTINE pfnThread, void* pContext) {
  HANDLE hThread = ::CreateThread(nullptr, 0, pfnThread, pContext, 0, nullptr);
  if (hThread) ::CloseHandle(hThread);
}

}  // namespace

int main(int argc, char** argv) {
  int nExit = -1;
  bool bWindow = false;
  std::string strChild;
  std::string strPrint;
  std::string strPrompt;
  long nLines = 0;
  long nSize = 100;
  long nRate = 0;
  long nLong = 0;
  std::string strStreams = "both";
  std::string strRunMs;
  DWORD dwPrintAfterMs = 0;
  static Listen s_listen;
  static std::string s_strTouch;
  static std::string s_strPipe;
  static Notify s_notify;
  bool bNotify = false;
  for (int i = 1; i < argc; ++i) {
    std::string strArg = argv[i];
    bool bHasValue = i + 1 < argc;
    if (strArg == "--record" && bHasValue) {
      g_strRecord = argv[++i];
    } else if (strArg == "--exit" && bHasValue) {
      nExit = std::atoi(argv[++i]);
    } else if (strArg == "--ignore-stop") {
      g_bIgnoreStop = true;
    } else if (strArg == "--deaf-ms" && bHasValue) {
      ++i;  // read before main
    } else if (strArg == "--window") {
      bWindow = true;
    } else if (strArg == "--child" && bHasValue) {
      strChild = argv[++i];
    } else if (strArg == "--print" && bHasValue) {
      strPrint = argv[++i];
    } else if (strArg == "--prompt" && bHasValue) {
      strPrompt = argv[++i];
    } else if (strArg == "--lines" && bHasValue) {
      nLines = std::atol(argv[++i]);
    } else if (strArg == "--size" && bHasValue) {
      nSize = std::atol(argv[++i]);
    } else if (strArg == "--rate" && bHasValue) {
      nRate = std::atol(argv[++i]);
    } else if (strArg == "--long" && bHasValue) {
      nLong = std::atol(argv[++i]);
    } else if (strArg == "--streams" && bHasValue) {
      strStreams = argv[++i];
    } else if (strArg == "--count" && bHasValue) {
      g_strCount = argv[++i];
    } else if (strArg == "--run-ms" && bHasValue) {
      strRunMs = argv[++i];
    } else if (strArg == "--env" && bHasValue) {
      g_strEnvNames += std::string(argv[++i]) + "\n";
    } else if (strArg == "--print-after" && bHasValue) {
      dwPrintAfterMs = static_cast<DWORD>(std::atol(argv[++i]));
    } else if (strArg == "--marks" && bHasValue) {
      g_strMarks = argv[++i];
    } else if (strArg == "--after" && bHasValue) {
      g_dwAfterMs = static_cast<DWORD>(std::atol(argv[++i]));
    } else if (strArg == "--listen" && bHasValue) {
      s_listen.nPort = std::atoi(argv[++i]);
    } else if (strArg == "--http" && bHasValue) {
      s_listen.nHttpStatus = std::atoi(argv[++i]);
    } else if (strArg == "--silent") {
      s_listen.bSilent = true;
    } else if (strArg == "--hang-after" && bHasValue) {
      s_listen.dwHangAfterMs = static_cast<DWORD>(std::atol(argv[++i]));
    } else if (strArg == "--touch" && bHasValue) {
      s_strTouch = argv[++i];
    } else if (strArg == "--pipe" && bHasValue) {
      s_strPipe = argv[++i];
    } else if (strArg == "--notify") {
      bNotify = true;
    } else if (strArg == "--watchdog" && bHasValue) {
      s_notify.dwWatchdogMs = static_cast<DWORD>(std::atol(argv[++i]));
    } else if (strArg == "--watchdog-for" && bHasValue) {
      s_notify.dwWatchdogForMs = static_cast<DWORD>(std::atol(argv[++i]));
    } else if (strArg == "--status" && bHasValue) {
      s_notify.strStatus = argv[++i];
    } else if (strArg == "--exit-if-exists" && bHasValue) {
      nExit = ::GetFileAttributesA(argv[++i]) != INVALID_FILE_ATTRIBUTES ? 1 : 0;
    }
  }
  if (s_listen.nPort != 0) StartThread(ListenThread, &s_listen);
  if (!s_strTouch.empty()) StartThread(TouchThread, &s_strTouch);
  if (!s_strPipe.empty()) StartThread(PipeThread, &s_strPipe);
  if (bNotify) StartThread(NotifyThread, &s_notify);
  int nStart = g_strCount.empty() ? 0 : CountStart();
  if (!g_bDeafHandler) ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  if (!strPrint.empty()) {
    ::Sleep(dwPrintAfterMs);
    Mark("printed");
    std::fprintf(stdout, "%s\n", strPrint.c_str());
    std::fprintf(stderr, "err:%s\n", strPrint.c_str());
    std::fflush(stdout);
    std::fflush(stderr);
  }
  if (nLines > 0) WriteLines(nLines, nSize, nRate, strStreams, nLong);
  if (!strPrompt.empty()) {
    std::fputs(strPrompt.c_str(), stderr);
    std::fflush(stderr);
  }
  if (!strChild.empty() && !StartChild(strChild)) return 90;
  if (!g_strRecord.empty()) WriteRecord(argc, argv);
  if (nExit >= 0) {
    if (!strRunMs.empty()) ::Sleep(static_cast<DWORD>(NthNumber(strRunMs, nStart)));
    if (!g_strCount.empty()) AppendLine(g_strCount, "end=" + Now());
    return nExit;
  }
  if (bWindow) return RunWindow();
  for (;;) ::Sleep(1000);
}
