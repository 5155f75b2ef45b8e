#include "runner/rotating_file.h"

#include <algorithm>
#include <vector>

#include "carrack_messages.h"
#include "common/ascii_case.h"
#include "common/wall_clock.h"
#include "runner/core/rotated_files.h"
#include "runner/event_log.h"
#include "runner/plain_file.h"

namespace qm::runner {

namespace {

// After a rotation failed, the next one is tried no sooner than this: often enough to recover
// quickly, rarely enough that a file held open elsewhere costs nothing per line.
constexpr ULONGLONG kRotationRetryMs = 1000;
// A rotated name is new by its number; one taken all the same (a copied file) is passed over,
// this many times at most.
constexpr unsigned kMaxNameTries = 100;

// Appending only; others may read, write, rename and delete it while it is open. The one place
// the live file is opened, at the start and after each rotation: a link in its place is
// refused (kErrorOutputIsLink).
unique_hfile OpenLive(const std::string& strPath) {
  return OpenPlainFileToAppend(strPath);
}

std::string FolderOf(const std::string& strPath) {
  std::size_t slash = strPath.find_last_of("\\/:");
  return slash == std::string::npos ? std::string() : strPath.substr(0, slash + 1);
}

}  // namespace

CRotatingFile::CRotatingFile(std::string strServiceName, std::string strPath,
                             const OutputSettings& settings)
    : m_strService(std::move(strServiceName)),
      m_strPath(std::move(strPath)),
      m_settings(settings) {}

DWORD CRotatingFile::Open() {
  m_hFile = OpenLive(m_strPath);
  if (!m_hFile) return ::GetLastError();
  LARGE_INTEGER size = {};
  ::GetFileSizeEx(m_hFile.get(), &size);
  m_state = {};
  m_state.ullSize = static_cast<std::uint64_t>(size.QuadPart);
  // An earlier run's content counts from its last write: the first write on a later day goes
  // to a new file.
  m_lDay = DayNumber(LocalNow());
  FILETIME written;
  FILETIME local;
  SYSTEMTIME time;
  if (m_state.ullSize > 0 && ::GetFileTime(m_hFile.get(), nullptr, nullptr, &written) &&
      ::FileTimeToLocalFileTime(&written, &local) && ::FileTimeToSystemTime(&local, &time)) {
    m_lDay = DayNumber(ToLocalTime(time));
  }
  return ERROR_SUCCESS;
}

bool CRotatingFile::IsSameFile(const CRotatingFile& other) const {
  return runner::IsSameFile(m_hFile.get(), m_strPath, other.m_hFile.get(), other.m_strPath);
}

void CRotatingFile::RequestRotation() {
  m_bRotationRequested = true;
  m_ullRetryAfter = 0;  // asked for now: try now, even after a failure
  Write({});
}

void CRotatingFile::Write(std::string_view data) {
  for (;;) {
    ULONGLONG ullNow = ::GetTickCount64();
    bool bMayRotate = ullNow >= m_ullRetryAfter;
    RotationDue due = m_bRotationRequested ? RotationDue::kNow : RotationDue::kNo;
    if (m_settings.bRotateDaily && due == RotationDue::kNo) {
      long lToday = DayNumber(LocalNow());
      if (lToday != m_lDay) {
        if (m_state.ullSize == 0) {
          m_lDay = lToday;  // nothing of another day in it
        } else {
          due = RotationDue::kAtLineEnd;
        }
      }
    }
    if (m_state.ullSize == 0) m_bRotationRequested = false;  // nothing to rotate
    WriteStep step = PlanWrite(m_state, bMayRotate ? m_settings.dwRotateBytes : 0, data,
                               bMayRotate ? due : RotationDue::kNo);
    if (step.bRotateFirst) {
      if (!Rotate()) m_ullRetryAfter = ullNow + kRotationRetryMs;
      continue;
    }
    if (step.nBytes == 0) return;
    std::string_view piece = data.substr(0, step.nBytes);
    WriteBytes(piece);
    NoteWritten(m_state, piece);
    data.remove_prefix(step.nBytes);
  }
}

void CRotatingFile::WriteBytes(std::string_view data) {
  while (!data.empty()) {
    DWORD dwWritten = 0;
    if (!::WriteFile(m_hFile.get(), data.data(), static_cast<DWORD>(data.size()), &dwWritten,
                     nullptr) ||
        dwWritten == 0) {
      // Disk full or the like: the program must not be held up, so this output is lost;
      // reported once until a write succeeds again.
      if (m_writeFailures.Failed()) {
        std::string strError = SystemErrorText(::GetLastError());
        WriteEvent(EVENTLOG_WARNING_TYPE, MSG_OUTPUT_WRITE_FAILED,
                   {m_strService.c_str(), m_strPath.c_str(), strError.c_str()});
      }
      return;
    }
    data.remove_prefix(dwWritten);
  }
  m_writeFailures.Succeeded();
}

bool CRotatingFile::Rotate() {
  LocalTime time = LocalNow();
  if (m_ullNextNumber == 0) m_ullNextNumber = NextRotationNumber(FindRotated().keys);
  LocalTime utc = UtcNow();
  std::string strTarget = RotatedPath(m_strPath, utc, m_ullNextNumber);
  for (unsigned nTry = 1;
       nTry < kMaxNameTries && ::GetFileAttributesA(strTarget.c_str()) != INVALID_FILE_ATTRIBUTES;
       ++nTry) {
    strTarget = RotatedPath(m_strPath, utc, ++m_ullNextNumber);
  }
  // The open handle goes with the file to its new name; nothing written is lost.
  if (!::MoveFileExA(m_strPath.c_str(), strTarget.c_str(), 0)) {
    NoteRotationFailure("renaming it to " + strTarget, ::GetLastError());
    return false;
  }
  unique_hfile hNew = OpenLive(m_strPath);
  if (!hNew) {
    DWORD dwError = ::GetLastError();
    // Readers look for the output under the live name: the file goes back there.
    ::MoveFileExA(strTarget.c_str(), m_strPath.c_str(), 0);
    NoteRotationFailure("creating the new file", dwError);
    return false;
  }
  m_hFile = std::move(hNew);
  ++m_ullNextNumber;
  m_state = {};
  m_lDay = DayNumber(time);
  m_bRotationRequested = false;
  DeleteOldRotated(strTarget.substr(FolderOf(m_strPath).size()));
  return true;
}

CRotatingFile::RotatedFound CRotatingFile::FindRotated() const {
  RotatedFound found;
  WIN32_FIND_DATAA data;
  unique_hfind hFind(::FindFirstFileA(RotatedSearchPattern(m_strPath).c_str(), &data));
  if (!hFind) return found;
  do {
    RotatedKey key;
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        ParseRotatedName(m_strPath, data.cFileName, key)) {
      found.names.emplace_back(data.cFileName);
      found.keys.push_back(key);
    }
  } while (::FindNextFileA(hFind.get(), &data));
  return found;
}

void CRotatingFile::DeleteOldRotated(const std::string& strJustRotated) {
  bool bFailed = false;
  if (m_settings.dwRotateKeep > 0) {
    std::string strFolder = FolderOf(m_strPath);
    RotatedFound found = FindRotated();
    // A number copied in since the folder was read: the next rotation still comes after it.
    m_ullNextNumber = std::max(m_ullNextNumber, NextRotationNumber(found.keys));
    std::size_t nJustRotated = 0;
    while (nJustRotated < found.names.size() &&
           !EqualsIgnoringCase(found.names[nJustRotated], strJustRotated)) {
      ++nJustRotated;
    }
    for (std::size_t i : ChooseRotatedToDelete(found.keys, m_settings.dwRotateKeep, nJustRotated)) {
      std::string strOld = strFolder + found.names[i];
      if (!::DeleteFileA(strOld.c_str())) {
        NoteRotationFailure("deleting the old file " + strOld, ::GetLastError());
        bFailed = true;
      }
    }
  }
  if (!bFailed && m_rotationFailures.Succeeded()) {
    WriteEvent(EVENTLOG_INFORMATION_TYPE, MSG_OUTPUT_ROTATION_RESUMED,
               {m_strService.c_str(), m_strPath.c_str()});
  }
}

void CRotatingFile::NoteRotationFailure(const std::string& strStep, DWORD dwError) {
  if (!m_rotationFailures.Failed()) return;  // this run of failures is reported already
  std::string strError = SystemErrorText(dwError);
  WriteEvent(EVENTLOG_WARNING_TYPE, MSG_OUTPUT_ROTATION_FAILED,
             {m_strService.c_str(), m_strPath.c_str(), strStep.c_str(), strError.c_str()});
}

}  // namespace qm::runner
