#include "runner/state_publisher.h"

#include <sddl.h>

#include <string>

#include "common/srw_lock.h"
#include "common/wall_clock.h"

namespace qm::runner {

namespace {

// The local system (the runner) may do anything; logged-on users and administrators may read.
constexpr const char* kSectionSddl = "D:P(A;;GA;;;SY)(A;;GR;;;AU)(A;;GR;;;BA)";

}  // namespace

CStatePublisher::OpenResult CStatePublisher::Open() {
  m_strName = contract::state::SectionName(::GetCurrentProcessId());
  PSECURITY_DESCRIPTOR pDescriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(kSectionSddl, SDDL_REVISION_1,
                                                              &pDescriptor, nullptr)) {
    return OpenResult::kFailed;
  }
  unique_hlocal descriptor(pDescriptor);
  SECURITY_ATTRIBUTES sa = {sizeof(sa), pDescriptor, FALSE};
  unique_handle hSection(::CreateFileMappingA(INVALID_HANDLE_VALUE, &sa, PAGE_READWRITE, 0,
                                              contract::state::kRecordBytes, m_strName.c_str()));
  DWORD dwError = ::GetLastError();
  // Someone made this name first: what it holds is theirs, and a reader will find our record
  // missing rather than our words in their section. Made with access that the runner lacks,
  // or as another kind of object, it is taken all the same.
  if (hSection ? dwError == ERROR_ALREADY_EXISTS
               : dwError == ERROR_ACCESS_DENIED || dwError == ERROR_INVALID_HANDLE) {
    return OpenResult::kNameTaken;
  }
  if (!hSection) return OpenResult::kFailed;
  unique_mapped_view pView(
      ::MapViewOfFile(hSection.get(), FILE_MAP_WRITE, 0, 0, contract::state::kRecordBytes));
  if (!pView) return OpenResult::kFailed;
  CExclusiveLock hold(m_lock);
  m_hSection = std::move(hSection);
  m_pView = std::move(pView);
  PublishLocked();
  return OpenResult::kPublishing;
}

void CStatePublisher::ProgramStarted(DWORD dwProcessId, bool bWaiting, DWORD dwReadyTimeoutMs) {
  CExclusiveLock hold(m_lock);
  m_state.phase = bWaiting ? contract::state::Phase::kStarting : contract::state::Phase::kRunning;
  m_state.dwProcessId = dwProcessId;
  m_state.qwStarted = FileTimeNow();
  m_state.qwNextStart = 0;
  m_state.qwWaitStarted = m_state.qwStarted;
  m_state.dwReadyTimeoutMs = dwReadyTimeoutMs;
  // What the checks said of the last run goes; the program's word stays until it says more.
  m_state.dwCheckFlags = bWaiting ? std::uint32_t{contract::state::kWaitingForReady} : 0u;
  m_state.dwHealthFailures = 0;
  m_state.strSeen.clear();
  PublishLocked();
}

void CStatePublisher::Checks(const CheckView& view) {
  CExclusiveLock hold(m_lock);
  const bool bWaiting = (view.dwFlags & contract::state::kWaitingForReady) != 0;
  if (m_state.phase == contract::state::Phase::kStarting && !bWaiting) {
    m_state.phase = contract::state::Phase::kRunning;
  }
  m_state.dwCheckFlags = view.dwFlags;
  m_state.strCheck = view.strCheck;
  m_state.strSeen = view.strSeen;
  m_state.dwHealthFailures = view.dwFailures;
  m_state.dwHealthRetries = view.dwRetries;
  PublishLocked();
}

void CStatePublisher::ProgramStatus(const std::string& strStatus) {
  CExclusiveLock hold(m_lock);
  m_state.strProgramStatus = strStatus;
  PublishLocked();
}

void CStatePublisher::RestartScheduled(DWORD dwExitCode, DWORD dwRestartsInRow, DWORD dwDelayMs) {
  CExclusiveLock hold(m_lock);
  m_state.phase = contract::state::Phase::kRestarting;
  m_state.dwProcessId = 0;
  m_state.dwCheckFlags &= contract::state::kEndedUnhealthy | contract::state::kEndedNotReady;
  m_state.bHasExitCode = true;
  m_state.dwExitCode = dwExitCode;
  m_state.dwRestartsInRow = dwRestartsInRow;
  m_state.qwNextStart = FileTimeNow() + static_cast<std::uint64_t>(dwDelayMs) * 10000;
  PublishLocked();
}

void CStatePublisher::Stopping() {
  CExclusiveLock hold(m_lock);
  m_state.phase = contract::state::Phase::kStopping;
  PublishLocked();
}

void CStatePublisher::PublishLocked() {
  if (m_pView)
    contract::WriteStateRecord(static_cast<contract::StateWords>(m_pView.get()), m_state);
}

}  // namespace qm::runner
