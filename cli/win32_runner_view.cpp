#include "cli/win32_runner_view.h"

#include <windows.h>

#include <string>

#include "common/win32_handles.h"
#include "runner/wall_clock.h"

namespace qm::cli {

namespace {

// The runner writes its record in well under a millisecond; a reader that keeps meeting a
// write gives up after about a tenth of a second rather than hold up a script.
constexpr int kReadTries = 100;

}  // namespace

RunnerViewRead CWin32RunnerView::Read(std::uint32_t dwRunnerProcessId,
                                      runner::RunnerState* pState) {
  const std::string strName = contract::state::SectionName(dwRunnerProcessId);
  unique_handle hSection(::OpenFileMappingA(FILE_MAP_READ, FALSE, strName.c_str()));
  if (!hSection) {
    return ::GetLastError() == ERROR_FILE_NOT_FOUND ? RunnerViewRead::kAbsent
                                                    : RunnerViewRead::kUnreadable;
  }
  unique_mapped_view pView(::MapViewOfFile(hSection.get(), FILE_MAP_READ, 0, 0, 0));
  if (!pView) return RunnerViewRead::kUnreadable;
  // A section made by someone else may be smaller than the record.
  MEMORY_BASIC_INFORMATION info = {};
  if (::VirtualQuery(pView.get(), &info, sizeof(info)) < sizeof(info) ||
      info.RegionSize < contract::state::kRecordBytes) {
    return RunnerViewRead::kUnknownLayout;
  }
  switch (runner::ReadStateRecord(static_cast<runner::ConstStateWords>(pView.get()), pState,
                                  kReadTries, [] { ::Sleep(1); })) {
    case runner::StateRead::kRead:
      return RunnerViewRead::kRead;
    case runner::StateRead::kUnknownLayout:
      return RunnerViewRead::kUnknownLayout;
    case runner::StateRead::kBusy:
      break;
  }
  return RunnerViewRead::kUnreadable;
}

std::uint64_t CWin32RunnerView::Now() {
  return runner::FileTimeNow();
}

runner::LocalTime CWin32RunnerView::LocalTimeOf(std::uint64_t qwFileTime) {
  return runner::LocalTimeOfFileTime(qwFileTime);
}

}  // namespace qm::cli
