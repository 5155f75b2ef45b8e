#include "runner/notify_pipe.h"

#include <sddl.h>

#include <atomic>
#include <cstdio>

namespace qm::runner {

namespace {

// The descriptor that lets the runner's own account, and nobody else, use the pipe.
bool OwnAccountOnly(unique_hlocal* pDescriptor) {
  HANDLE hRawToken = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &hRawToken)) return false;
  const unique_handle hToken(hRawToken);
  alignas(8) BYTE abUser[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
  DWORD cbUser = 0;
  if (!::GetTokenInformation(hToken.get(), TokenUser, abUser, sizeof(abUser), &cbUser)) {
    return false;
  }
  char* pszSid = nullptr;
  if (!::ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(abUser)->User.Sid, &pszSid)) {
    return false;
  }
  const unique_hlocal sid(pszSid);
  const std::string strSddl = std::string("D:P(A;;GA;;;") + pszSid + ")";
  PSECURITY_DESCRIPTOR pRaw = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(strSddl.c_str(), SDDL_REVISION_1,
                                                              &pRaw, nullptr)) {
    return false;
  }
  pDescriptor->reset(pRaw);
  return true;
}

}  // namespace

CNotifyPipe::~CNotifyPipe() {
  for (Instance& instance : m_aInstances) {
    if (!instance.hPipe || instance.bEndedAtOnce || !instance.hEvent) continue;
    DWORD cbDone = 0;
    ::CancelIoEx(instance.hPipe.get(), &instance.overlapped);
    ::GetOverlappedResult(instance.hPipe.get(), &instance.overlapped, &cbDone, TRUE);
  }
}

bool CNotifyPipe::Open(DWORD* pdwError) {
  unique_hlocal descriptor;
  if (!OwnAccountOnly(&descriptor)) {
    *pdwError = ::GetLastError();
    return false;
  }
  SECURITY_ATTRIBUTES sa = {sizeof(sa), descriptor.get(), FALSE};
  static std::atomic<unsigned> s_nPipes{0};
  for (int nTry = 0; nTry < 16; ++nTry) {
    char szName[96];
    std::snprintf(szName, sizeof(szName), "\\\\.\\pipe\\carrack-notify-%lu-%llu-%u",
                  static_cast<unsigned long>(::GetCurrentProcessId()),
                  static_cast<unsigned long long>(::GetTickCount64()), s_nPipes.fetch_add(1));
    m_strName = szName;
    bool bMade = true;
    for (std::size_t i = 0; i < kInstances && bMade; ++i) {
      // The first instance only if nobody made the name before: a pipe someone else made
      // would hear the program instead of the runner.
      const DWORD dwFirst = i == 0 ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0;
      m_aInstances[i].hPipe.reset(::CreateNamedPipeA(
          // Duplex, though the runner only reads: the runtimes of Python and Java open a pipe
          // for writing only together with reading (for writing alone they ask to create it).
          szName, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | dwFirst,
          PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, kInstances,
          0, 4096, 0, &sa));
      bMade = static_cast<bool>(m_aInstances[i].hPipe);
    }
    if (bMade) break;
    *pdwError = ::GetLastError();
    for (Instance& instance : m_aInstances) instance.hPipe.reset();
    if (*pdwError != ERROR_ACCESS_DENIED && *pdwError != ERROR_PIPE_BUSY) return false;
  }
  for (Instance& instance : m_aInstances) {
    if (!instance.hPipe) return false;
    instance.hEvent.reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!instance.hEvent) {
      *pdwError = ::GetLastError();
      return false;
    }
  }
  m_bOpen = true;
  for (Instance& instance : m_aInstances) Listen(instance);
  return true;
}

void CNotifyPipe::Listen(Instance& instance) {
  instance.bConnected = false;
  instance.bEndedAtOnce = false;
  instance.overlapped = {};
  instance.overlapped.hEvent = instance.hEvent.get();
  ::ResetEvent(instance.hEvent.get());
  if (::ConnectNamedPipe(instance.hPipe.get(), &instance.overlapped)) return;  // the event says
  const DWORD dwError = ::GetLastError();
  if (dwError == ERROR_IO_PENDING) return;
  // A client that came between two connects is there already; one that came and went may
  // have left its line, which reads before the pipe's end.
  instance.bEndedAtOnce = true;
  instance.dwAtOnceError =
      dwError == ERROR_PIPE_CONNECTED || dwError == ERROR_NO_DATA ? ERROR_SUCCESS : dwError;
  ::SetEvent(instance.hEvent.get());
}

void CNotifyPipe::Read(Instance& instance) {
  instance.bEndedAtOnce = false;
  instance.overlapped = {};
  instance.overlapped.hEvent = instance.hEvent.get();
  ::ResetEvent(instance.hEvent.get());
  // Done at once or later, the event says so.
  if (::ReadFile(instance.hPipe.get(), instance.achBuffer, sizeof(instance.achBuffer), nullptr,
                 &instance.overlapped)) {
    return;
  }
  const DWORD dwError = ::GetLastError();
  if (dwError == ERROR_IO_PENDING || dwError == ERROR_MORE_DATA) return;
  instance.bEndedAtOnce = true;
  instance.dwAtOnceError = dwError;
  ::SetEvent(instance.hEvent.get());
}

void CNotifyPipe::Drop(Instance& instance, const CNotifyLines::Handler& onMessage) {
  instance.lines.End(onMessage);
  instance.lines = CNotifyLines{};
  ::DisconnectNamedPipe(instance.hPipe.get());
  Listen(instance);
}

bool CNotifyPipe::IsProgramsProcess(const Instance& instance) const {
  ULONG ulClient = 0;
  if (!m_hJob || !::GetNamedPipeClientProcessId(instance.hPipe.get(), &ulClient)) return false;
  // Asking a job about a process takes the full query right (the limited one will not do on
  // every system), which the runner has for its program's processes.
  const unique_handle hClient(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, ulClient));
  BOOL bInJob = FALSE;
  return hClient && ::IsProcessInJob(hClient.get(), m_hJob, &bInJob) && bInJob;
}

void CNotifyPipe::OnSignalled(std::size_t nInstance, const CNotifyLines::Handler& onMessage) {
  Instance& instance = m_aInstances[nInstance];
  DWORD cbRead = 0;
  DWORD dwError = instance.dwAtOnceError;
  if (!instance.bEndedAtOnce) {
    dwError = ::GetOverlappedResult(instance.hPipe.get(), &instance.overlapped, &cbRead, FALSE)
                  ? ERROR_SUCCESS
                  : ::GetLastError();
  }
  if (!instance.bConnected) {
    if (dwError == ERROR_IO_INCOMPLETE) return;
    // A client from outside the program is sent away before it is heard.
    if (dwError != ERROR_SUCCESS || !IsProgramsProcess(instance)) {
      ::DisconnectNamedPipe(instance.hPipe.get());
      Listen(instance);
      return;
    }
    instance.bConnected = true;
    instance.nRun = m_nRun;
    Read(instance);
    return;
  }
  if (dwError == ERROR_IO_INCOMPLETE) return;
  // What a client of an ended run still says is read, and not heard.
  static const CNotifyLines::Handler kUnheard = [](const NotifyMessage&) {};
  const CNotifyLines::Handler& deliver = instance.nRun == m_nRun ? onMessage : kUnheard;
  if (dwError != ERROR_SUCCESS && dwError != ERROR_MORE_DATA) {
    Drop(instance, deliver);  // the client closed its end
    return;
  }
  instance.lines.Feed(std::string_view(instance.achBuffer, cbRead), deliver);
  Read(instance);
}

}  // namespace qm::runner
