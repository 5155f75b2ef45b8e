#pragma once
// One live output file (Stdout or Stderr, or both when they name the same file): appends what
// the program wrote, rotates it by size and by day at line boundaries and on request at once,
// and deletes the oldest rotated files. Failures never stop the writing: a rotation that cannot
// happen is tried again later, and each run of failures is reported once in the event log.

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/win32_handles.h"
#include "runner/core/failure_episode.h"
#include "runner/core/output_settings.h"
#include "runner/core/rotated_files.h"
#include "runner/core/rotation_plan.h"

namespace qm::runner {

class CRotatingFile {
 public:
  CRotatingFile(std::string strServiceName, std::string strPath, const OutputSettings& settings);

  // Opens (or creates) the live file for appending, shared for reading, writing and deleting.
  // ERROR_SUCCESS or the error.
  DWORD Open();
  // Whether the open file is the same file as another one's (the same path written
  // differently, or a link).
  bool IsSameFile(const CRotatingFile& other) const;

  // Appends bytes, rotating first where the settings say so.
  void Write(std::string_view data);
  // Rotates now (when the file is not empty), even inside a line the program has not ended.
  void RequestRotation();

 private:
  struct RotatedFound {
    std::vector<std::string> names;  // without the folder
    std::vector<RotatedKey> keys;
  };

  bool Rotate();
  RotatedFound FindRotated() const;
  // Deletes the oldest rotated files beyond RotateKeep, never the one just made.
  void DeleteOldRotated(const std::string& strJustRotated);
  void WriteBytes(std::string_view data);
  void NoteRotationFailure(const std::string& strStep, DWORD dwError);

  std::string m_strService;
  std::string m_strPath;
  OutputSettings m_settings;
  unique_hfile m_hFile;
  LiveFileState m_state;
  long m_lDay = 0;  // the day the live file's content began
  bool m_bRotationRequested = false;
  std::uint64_t m_ullNextNumber = 0;  // of the next rotated name; 0 until the folder was read
  CFailureEpisode m_rotationFailures;
  ULONGLONG m_ullRetryAfter = 0;  // no rotation is tried before this tick
  CFailureEpisode m_writeFailures;
};

}  // namespace qm::runner
