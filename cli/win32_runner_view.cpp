#include "cli/win32_runner_view.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "common/wall_clock.h"
#include "common/win32_handles.h"

namespace qm::cli {

namespace {

// The runner writes its record in well under a millisecond; a reader that keeps meeting a
// write gives up after about a tenth of a second rather than hold up a script.
constexpr int kReadTries = 100;

std::string SidText(PSID pSid) {
  char* pszSid = nullptr;
  if (pSid == nullptr || !::ConvertSidToStringSidA(pSid, &pszSid)) return std::string();
  const unique_hlocal text(pszSid);
  return pszSid;
}

// The owner of a kernel object; empty when it has none or it cannot be read.
std::string OwnerOf(HANDLE hObject) {
  PSID pOwner = nullptr;
  PSECURITY_DESCRIPTOR pDescriptor = nullptr;
  if (::GetSecurityInfo(hObject, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &pOwner, nullptr,
                        nullptr, nullptr, &pDescriptor) != ERROR_SUCCESS) {
    return std::string();
  }
  const unique_hlocal descriptor(pDescriptor);
  return SidText(pOwner);
}

// The SIDs the runner goes by: those of its account and of its service, as far as they can be
// found, and the user and default owner of its process's token where this reader may see them
// (an administrator may; the token says what the account's name cannot, under Wine too).
std::vector<std::string> RunnerSids(DWORD dwProcessId, const RunnerAccount& account) {
  std::vector<std::string> sids;
  for (const std::string& strName : RunnerAccountNames(account)) {
    BYTE abSid[SECURITY_MAX_SID_SIZE];
    DWORD cbSid = sizeof(abSid);
    char szDomain[256];
    DWORD cchDomain = sizeof(szDomain);
    SID_NAME_USE use;
    if (::LookupAccountNameA(nullptr, strName.c_str(), abSid, &cbSid, szDomain, &cchDomain, &use)) {
      sids.push_back(SidText(abSid));
    }
  }
  unique_handle hProcess(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, dwProcessId));
  HANDLE hRawToken = nullptr;
  if (!hProcess || !::OpenProcessToken(hProcess.get(), TOKEN_QUERY, &hRawToken)) return sids;
  const unique_handle hToken(hRawToken);
  alignas(8) BYTE abInfo[SECURITY_MAX_SID_SIZE + 64];
  DWORD cbInfo = 0;
  if (::GetTokenInformation(hToken.get(), TokenUser, abInfo, sizeof(abInfo), &cbInfo)) {
    sids.push_back(SidText(reinterpret_cast<TOKEN_USER*>(abInfo)->User.Sid));
  }
  if (::GetTokenInformation(hToken.get(), TokenOwner, abInfo, sizeof(abInfo), &cbInfo)) {
    sids.push_back(SidText(reinterpret_cast<TOKEN_OWNER*>(abInfo)->Owner));
  }
  return sids;
}

}  // namespace

RunnerViewRead CWin32RunnerView::Read(std::uint32_t dwRunnerProcessId, const RunnerAccount& account,
                                      contract::RunnerState* pState) {
  const std::string strName = contract::state::SectionName(dwRunnerProcessId);
  // Reading the owner takes READ_CONTROL, which the runner grants with reading.
  unique_handle hSection(::OpenFileMappingA(FILE_MAP_READ | READ_CONTROL, FALSE, strName.c_str()));
  if (!hSection) {
    return ::GetLastError() == ERROR_FILE_NOT_FOUND ? RunnerViewRead::kAbsent
                                                    : RunnerViewRead::kUnreadable;
  }
  if (!IsRunnersOwner(OwnerOf(hSection.get()), RunnerSids(dwRunnerProcessId, account))) {
    return RunnerViewRead::kUntrusted;
  }
  unique_mapped_view pView(::MapViewOfFile(hSection.get(), FILE_MAP_READ, 0, 0, 0));
  if (!pView) return RunnerViewRead::kUnreadable;
  // A section made by someone else may be smaller than the record.
  MEMORY_BASIC_INFORMATION info = {};
  if (::VirtualQuery(pView.get(), &info, sizeof(info)) < sizeof(info) ||
      info.RegionSize < contract::state::kRecordBytes) {
    return RunnerViewRead::kUnknownLayout;
  }
  switch (contract::ReadStateRecord(static_cast<contract::ConstStateWords>(pView.get()), pState,
                                    kReadTries, [] { ::Sleep(1); })) {
    case contract::StateRead::kRead:
      return RunnerViewRead::kRead;
    case contract::StateRead::kUnknownLayout:
      return RunnerViewRead::kUnknownLayout;
    case contract::StateRead::kBusy:
      break;
  }
  return RunnerViewRead::kUnreadable;
}

std::uint64_t CWin32RunnerView::Now() {
  return qm::FileTimeNow();
}

qm::LocalTime CWin32RunnerView::LocalTimeOf(std::uint64_t qwFileTime) {
  return qm::LocalTimeOfFileTime(qwFileTime);
}

}  // namespace qm::cli
