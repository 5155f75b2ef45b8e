#include "runner/rotating_file.h"

#include <vector>

#include "carrack_messages.h"
#include "runner/core/rotated_files.h"
#include "runner/event_log.h"
#include "runner/plain_file.h"
#include "runner/wall_clock.h"

namespace qm::runner {

namespace {

// After a rotation failed, the next one is tried no sooner than this: often enough to recover
// quickly, rarely enough that a file held open elsewhere costs nothing per line.
constexpr ULONGLONG kRotationRetryMs = 1000;
// Names taken within one second get counters; this many is more than any rate can use.
constexpr unsigned kMaxCounter = 10000;

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
  if (_stricmp(m_strPath.c_str(), other.m_strPath.c_str()) == 0) return true;
  BY_HANDLE_FILE_INFORMATION mine;
  BY_HANDLE_FILE_INFORMATION theirs;
  return ::GetFileInformationByHandle(m_hFile.get(), &mine) &&
         ::GetFileInformationByHandle(other.m_hFile.get(), &theirs) &&
         mine.dwVolumeSerialNumber == theirs.dwVolumeSerialNumber &&
         mine.nFileIndexHigh == theirs.nFileIndexHigh && mine.nFileIndexLow == theirs.nFileIndexLow;
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
    bool bDue = m_bRotationRequested;
    if (m_settings.bRotateDaily) {
      long lToday = DayNumber(LocalNow());
      if (lToday != m_lDay) {
        if (m_state.ullSize == 0) {
          m_lDay = lToday;  // nothing of another day in it
        } else {
          bDue = true;
        }
      }
    }
    if (m_state.ullSize == 0) m_bRotationRequested = false;  // nothing to rotate
    WriteStep step =
        PlanWrite(m_state, bMayRotate ? m_settings.dwRotateBytes : 0, data, bMayRotate && bDue);
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
  // Within the second of the last rotation, counters go on from its: a name freed since by
  // the deletion of old files must not come back as the newest.
  RotatedKey key = {RotatedStamp(time), 0};
  if (key.ullStamp == m_lastRotated.ullStamp) key.nCounter = m_lastRotated.nCounter + 1;
  std::string strTarget;
  for (; key.nCounter < kMaxCounter; ++key.nCounter) {
    strTarget = RotatedPath(m_strPath, time, key.nCounter);
    if (::GetFileAttributesA(strTarget.c_str()) == INVALID_FILE_ATTRIBUTES) break;
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
  m_lastRotated = key;
  m_state = {};
  m_lDay = DayNumber(time);
  m_bRotationRequested = false;
  DeleteOldRotated();
  return true;
}

void CRotatingFile::DeleteOldRotated() {
  bool bFailed = false;
  if (m_settings.dwRotateKeep > 0) {
    std::string strFolder = FolderOf(m_strPath);
    std::vector<std::string> names;
    std::vector<RotatedKey> keys;
    WIN32_FIND_DATAA data;
    unique_hfind hFind(::FindFirstFileA(RotatedSearchPattern(m_strPath).c_str(), &data));
    if (hFind) {
      do {
        RotatedKey key;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            ParseRotatedName(m_strPath, data.cFileName, key)) {
          names.emplace_back(data.cFileName);
          keys.push_back(key);
        }
      } while (::FindNextFileA(hFind.get(), &data));
    }
    for (std::size_t i : ChooseRotatedToDelete(keys, m_settings.dwRotateKeep)) {
      std::string strOld = strFolder + names[i];
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
