#pragma once
// What the tests under Wine share: the folder of the test programs, scratch folders, whole files
// read while another process writes them, waits for a file or a probe's record, the services a
// test made, and the host behind the prefix. Plain types only: <windows.h> would rename the
// service seam's calls in a test that includes this header before it.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qm::test {

// The folder of the test programs, where carrack.exe, probe.exe and quillmnt.exe are built
// too; with its closing backslash.
std::string TestBinFolder();
// The prefix's temporary folder, with its closing backslash.
std::string TempFolder();

// Deletes a folder with everything in it, read-only and hidden entries too.
void RemoveTree(const std::string& strPath);

// A fresh folder below the temporary folder, named after strTag and unique to this process,
// removed with everything in it at the end.
class CScratchFolder {
 public:
  explicit CScratchFolder(const std::string& strTag);
  ~CScratchFolder();
  CScratchFolder(const CScratchFolder&) = delete;
  CScratchFolder& operator=(const CScratchFolder&) = delete;

  // With its closing backslash.
  const std::string& Path() const { return m_strPath; }

 private:
  std::string m_strPath;
};

// Reads a whole file; empty when it does not exist. Opened sharing everything, and tried again
// for a while when another process holds it all the same, so that a file being written,
// renamed into place or replaced reads as it is rather than as empty.
std::string ReadFileText(const std::string& strPath);
// Writes a whole file; false (with a test failure) when it cannot.
bool WriteText(const std::string& strPath, const std::string& strText);

// Polls done every 50 ms until it holds or dwTimeoutMs passed; returns its last answer.
bool WaitUntil(const std::function<bool()>& done, std::uint32_t dwTimeoutMs);
bool WaitForFile(const std::string& strPath, std::uint32_t dwTimeoutMs);
// Waits for a file to hold exactly strText.
bool WaitForText(const std::string& strPath, const std::string& strText, std::uint32_t dwTimeoutMs);
// The value of the first "key=value" line of a probe's record, or empty.
std::string RecordValue(const std::string& strRecord, const std::string& strKey);
// Waits for a probe's record to be there whole (its "complete=1" line read).
bool WaitForRecord(const std::string& strPath, std::uint32_t dwTimeoutMs);

// A service name unique to this run: "qmtest", the process id, the tag.
std::string UniqueName(const std::string& strTag);
bool ServiceExists(const std::string& strName);
// Creates a service directly, as another installer would, or with our installer's marker.
bool CreateRawService(const std::string& strName, const std::string& strBinary,
                      std::uint32_t dwStartType, bool bOurMarker);
// Raw bytes and type of a value under HKEY_LOCAL_MACHINE; type 0 when it cannot be read.
std::string ReadValue(const std::string& strKey, const std::string& strValue,
                      std::uint32_t* pdwType);
// Stops a service and deletes it; one that does not stop within a few seconds has its process
// ended first (a runner's job then ends everything its program started). Nothing when there
// is no such service.
void RemoveService(const std::string& strName);

// Removes the named services when the scope ends, however the test ended.
class CServiceCleanup {
 public:
  explicit CServiceCleanup(std::vector<std::string> names) : m_names(std::move(names)) {}
  ~CServiceCleanup();
  CServiceCleanup(const CServiceCleanup&) = delete;
  CServiceCleanup& operator=(const CServiceCleanup&) = delete;

 private:
  std::vector<std::string> m_names;
};

// The host's path of a Windows path, through Wine; empty outside Wine.
std::string HostPath(const std::string& strWindowsPath);
// Runs a shell command on the host (Wine starts host programs given to CreateProcess) and
// waits until it has finished; false outside Wine or when it did not finish.
bool RunHostCommand(const std::string& strCommand);

}  // namespace qm::test
