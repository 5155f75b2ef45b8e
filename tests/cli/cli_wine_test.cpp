// quillmnt.com as a user runs it: typed into cmd.exe (found beside quillmnt.exe through
// PATHEXT), output captured, exit code checked, against the real Service Control Manager.

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "common/win32_handles.h"
#include "tests/service/wine_support.h"

namespace qm::svc::test {
namespace {

struct CliResult {
  DWORD dwExit = 999;
  std::string strOut;
  std::string strErr;
};

std::string TempFolder() {
  char sz[MAX_PATH];
  const DWORD cch = ::GetTempPathA(sizeof(sz), sz);
  return std::string(sz, cch < sizeof(sz) ? cch : 0);
}

std::string ReadFileText(const std::string& strPath) {
  std::ifstream in(strPath, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Opens a file that the child writes its output into.
HANDLE InheritableFile(const std::string& strPath) {
  SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
  return ::CreateFileA(strPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::wstring Widen(const std::string& str) {
  std::wstring wstr(str.size(), L'\0');
  const int cch = ::MultiByteToWideChar(CP_ACP, 0, str.data(), static_cast<int>(str.size()),
                                        wstr.data(), static_cast<int>(wstr.size()));
  wstr.resize(static_cast<std::size_t>(cch > 0 ? cch : 0));
  return wstr;
}

// Runs "cmd /c <line>" in the folder of quillmnt.com, handing it the line as a Unicode
// program does; ends it after a minute at the latest.
CliResult RunInCmd(const std::wstring& wstrLine) {
  static int s_nRun = 0;
  const std::string strBase = TempFolder() + "qmcli" + std::to_string(::GetCurrentProcessId()) +
                              "_" + std::to_string(++s_nRun);
  CliResult result;
  {
    unique_handle out(InheritableFile(strBase + ".out"));
    unique_handle err(InheritableFile(strBase + ".err"));
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nullptr;
    si.hStdOutput = out.get();
    si.hStdError = err.get();
    PROCESS_INFORMATION pi = {};
    std::wstring wstrCommand = L"cmd.exe /c " + wstrLine;
    const std::wstring wstrFolder = Widen(TestBinFolder());
    if (!::CreateProcessW(nullptr, wstrCommand.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                          nullptr, wstrFolder.c_str(), &si, &pi)) {
      ADD_FAILURE() << "cmd did not start: " << ::GetLastError();
      return result;
    }
    unique_handle process(pi.hProcess);
    unique_handle thread(pi.hThread);
    if (::WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) {
      ::TerminateProcess(process.get(), 999);
      ADD_FAILURE() << "still running after a minute";
    }
    ::GetExitCodeProcess(process.get(), &result.dwExit);
  }
  result.strOut = ReadFileText(strBase + ".out");
  result.strErr = ReadFileText(strBase + ".err");
  ::DeleteFileA((strBase + ".out").c_str());
  ::DeleteFileA((strBase + ".err").c_str());
  return result;
}

CliResult RunInCmd(const std::string& strLine) {
  return RunInCmd(Widen(strLine));
}

CliResult Quillmnt(const std::string& strArgs) {
  return RunInCmd("quillmnt " + strArgs);
}

std::string Trimmed(std::string strText) {
  while (!strText.empty() && (strText.back() == '\n' || strText.back() == '\r')) strText.pop_back();
  return strText;
}

bool WaitForFile(const std::string& strPath) {
  for (int i = 0; i < 100; ++i) {
    if (::GetFileAttributesA(strPath.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    ::Sleep(100);
  }
  return false;
}

// The process id the manager gives for a running service: its runner's.
DWORD RunnerProcessId(const std::string& strName) {
  unique_schandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  unique_schandle service(::OpenServiceA(manager.get(), strName.c_str(), SERVICE_QUERY_STATUS));
  SERVICE_STATUS_PROCESS status = {};
  DWORD cb = 0;
  if (!::QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO,
                              reinterpret_cast<BYTE*>(&status), sizeof(status), &cb)) {
    return 0;
  }
  return status.dwProcessId;
}

// One program run as a service: first with arguments that must arrive exactly as typed, then
// as one that ends at once, which the runner waits to start again.
TEST(CliWine, InstallRunsTheArgumentsExactlyAndStatusTellsTheState) {
  const std::string strName = UniqueName("cliargs");
  CServiceCleanup cleanup({strName});
  const std::string strRecord = TempFolder() + strName + ".rec";
  ::DeleteFileA(strRecord.c_str());
  const std::string strArguments = "--record \"" + strRecord + "\" \"a  b\" c\\\"d \"\" 50%";
  CliResult r = Quillmnt("install --startup manual " + strName + " \"" + TestBinFolder() +
                         "probe.exe\" " + strArguments);
  ASSERT_EQ(r.dwExit, 0u) << r.strErr;
  EXPECT_EQ(r.strOut, strName + " was successfully created.\r\n");
  EXPECT_EQ(r.strErr, "");  // the program exists: no warning
  DWORD dwType = 0;
  EXPECT_EQ(ReadValue("SYSTEM\\CurrentControlSet\\Services\\" + strName + "\\Parameters",
                      "Arguments", &dwType),
            strArguments + '\0');

  EXPECT_EQ(Quillmnt("status " + strName).dwExit, 3u);
  r = Quillmnt("start " + strName);
  ASSERT_EQ(r.dwExit, 0u) << r.strErr;
  ASSERT_TRUE(WaitForFile(strRecord));
  const std::string strRecorded = ReadFileText(strRecord);
  ::DeleteFileA(strRecord.c_str());
  EXPECT_NE(strRecorded.find("probe.exe " + strArguments + "\n"), std::string::npos) << strRecorded;
  EXPECT_NE(strRecorded.find("arg=a  b\narg=c\"d\narg=\narg=50%\n"), std::string::npos)
      << strRecorded;
  // The runner's view names the program's own process.
  const std::string strPid = strRecorded.substr(4, strRecorded.find('\n') - 4);
  r = Quillmnt("status " + strName);
  EXPECT_EQ(r.dwExit, 0u);
  EXPECT_EQ(
      r.strOut.rfind(strName + ": running (program running, process " + strPid + ", since ", 0), 0u)
      << r.strOut << strRecorded;
  r = Quillmnt("stop " + strName);
  EXPECT_EQ(r.dwExit, 0u) << r.strErr;
  EXPECT_EQ(Quillmnt("status " + strName).dwExit, 3u);

  // The program ends at once; the runner then waits most of a minute before the next start.
  ASSERT_EQ(Quillmnt("set " + strName + " Arguments --exit 3").dwExit, 0u);
  ASSERT_EQ(Quillmnt("set " + strName + " RestartDelay 50000").dwExit, 0u);
  ASSERT_EQ(Quillmnt("start " + strName).dwExit, 0u);
  for (int i = 0; i < 20 && r.dwExit != 5; ++i) {
    r = Quillmnt("status " + strName);
    if (r.dwExit != 5) ::Sleep(250);
  }
  EXPECT_EQ(r.dwExit, 5u) << r.strOut;
  EXPECT_EQ(r.strOut.rfind(strName + ": running (restarting: the program ended with exit code 3, "
                                     "next start in ",
                           0),
            0u)
      << r.strOut;
  EXPECT_NE(r.strOut.find(" s, restart 1 in a row)\r\n"), std::string::npos) << r.strOut;

  // Others may read the runner's record but not write it.
  const std::string strSection =
      "Global\\carrack.state." + std::to_string(RunnerProcessId(strName));
  unique_handle readable(::OpenFileMappingA(FILE_MAP_READ, FALSE, strSection.c_str()));
  EXPECT_TRUE(readable) << strSection << " " << ::GetLastError();
  unique_handle writable(::OpenFileMappingA(FILE_MAP_WRITE, FALSE, strSection.c_str()));
  EXPECT_FALSE(writable);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  readable.reset();

  // A stop does not wait for the restart.
  r = Quillmnt("stop " + strName + " --timeout 10");
  EXPECT_EQ(r.dwExit, 0u) << r.strErr;
  EXPECT_EQ(Quillmnt("status " + strName).dwExit, 3u);
  r = Quillmnt("remove " + strName);
  EXPECT_EQ(r.dwExit, 0u) << r.strErr;
  EXPECT_FALSE(ServiceExists(strName));
  EXPECT_EQ(Quillmnt("status " + strName).dwExit, 1u);
}

// Beside a foreign service: list and remove keep to ours, dump's script makes ours anew, and
// the settings of the new one round trip while bad edits change nothing.
TEST(CliWine, ListRemoveDumpAndSettingsKeepToOurServices) {
  const std::string strName = UniqueName("clidump");
  const std::string strForeign = UniqueName("cliforeign");
  CServiceCleanup cleanup({strName, strForeign});
  ASSERT_TRUE(CreateRawService(strForeign, "C:\\Foreign\\svc.exe", SERVICE_DEMAND_START, false));
  ASSERT_EQ(Quillmnt("install --display-name \"Dump Test\" --startup manual --depend RpcSs "
                     "--dir \"C:\\work dir\" " +
                     strName + " \"C:\\Program Files\\app.exe\" -x \"a & b\" 100%")
                .dwExit,
            0u);
  for (const char* pszSet :
       {" Description \"Kept 50% & more\"", " StopTimeout 2500", " Restart Always",
        " Environment A=1 \"B=x y\"", " Account LocalService"}) {
    ASSERT_EQ(Quillmnt("set " + strName + pszSet).dwExit, 0u) << pszSet;
  }
  CliResult r = Quillmnt("list");
  EXPECT_EQ(r.dwExit, 0u);
  EXPECT_NE(r.strOut.find(strName), std::string::npos) << r.strOut;
  EXPECT_NE(r.strOut.find("C:\\Program Files\\app.exe"), std::string::npos);
  EXPECT_EQ(r.strOut.find(strForeign), std::string::npos);

  r = Quillmnt("remove " + strForeign);
  EXPECT_EQ(r.dwExit, 1u);
  EXPECT_NE(r.strErr.find("--force"), std::string::npos);
  EXPECT_TRUE(ServiceExists(strForeign));
  r = Quillmnt("remove " + strForeign + " --force");
  EXPECT_EQ(r.dwExit, 0u) << r.strErr;
  EXPECT_FALSE(ServiceExists(strForeign));
  r = Quillmnt("remove " + strForeign);
  EXPECT_EQ(r.dwExit, 1u);
  EXPECT_EQ(r.strErr, "No service named " + strForeign + " is registered.\r\n");

  const std::string strBefore = Quillmnt("get " + strName).strOut;
  const std::string strScript = TempFolder() + strName + ".cmd";
  r = RunInCmd("quillmnt dump " + strName + " > \"" + strScript + "\"");
  ASSERT_EQ(r.dwExit, 0u) << r.strErr;
  ASSERT_EQ(Quillmnt("remove " + strName).dwExit, 0u);
  ASSERT_FALSE(ServiceExists(strName));
  r = RunInCmd("\"" + strScript + "\"");
  // Its program is made up: the install says so, and goes on.
  EXPECT_EQ(r.strErr,
            "Warning: C:\\Program Files\\app.exe does not exist now; the service cannot start "
            "until it does.\r\n");
  ASSERT_EQ(Quillmnt("get " + strName).strOut, strBefore) << ReadFileText(strScript);
  ::DeleteFileA(strScript.c_str());

  const struct {
    const char* pszSetting;
    const char* pszData;
    const char* pszGot;
    const char* pszReset;  // nullptr: the service's name
  } kCases[] = {
      {"StopTimeout", "5000", "5000", "15000"},
      {"restart", "never", "Never", "OnFailure"},
      {"Environment", "A=1 \"B=x y\"", "A=1\r\nB=x y", ""},
      {"Stdout", "\"C:\\log dir\\out.log\"", "C:\\log dir\\out.log", ""},
      {"Arguments", "-x \"a b\"", "-x \"a b\"", ""},
      {"DisplayName", "\"Cli Test\"", "Cli Test", nullptr},
      {"Description", "\"Made by the test\"", "Made by the test", ""},
      {"Startup", "disabled", "disabled", "auto"},
      {"Startup", "manual", "manual", "auto"},
      {"Dependencies", "RpcSs;PlugPlay", "RpcSs;PlugPlay", ""},
      {"Account", "NetworkService", "NT AUTHORITY\\NetworkService", "LocalSystem"},
  };
  for (const auto& c : kCases) {
    const std::string strSet = std::string("set ") + strName + " " + c.pszSetting + " " + c.pszData;
    r = Quillmnt(strSet);
    ASSERT_EQ(r.dwExit, 0u) << strSet << ": " << r.strErr;
    r = Quillmnt(std::string("get ") + strName + " " + c.pszSetting);
    EXPECT_EQ(Trimmed(r.strOut), c.pszGot) << strSet << r.strErr;
    r = Quillmnt(std::string("reset ") + strName + " " + c.pszSetting);
    ASSERT_EQ(r.dwExit, 0u) << c.pszSetting << ": " << r.strErr;
    r = Quillmnt(std::string("get ") + strName + " " + c.pszSetting);
    EXPECT_EQ(Trimmed(r.strOut), c.pszReset ? c.pszReset : strName) << c.pszSetting;
  }

  const std::string strSettings = Quillmnt("get " + strName).strOut;
  for (const std::string& strArgs :
       {"set " + strName + " StopTimeout soon", "set " + strName + " Colour red",
        "set " + strName + " Restart sometimes", "set " + strName + " Runfile \"\"",
        "set " + strName + " Account .\\nobody", "reset " + strName + " Runfile",
        std::string("set qmNoSuchService StopTimeout 1")}) {
    r = Quillmnt(strArgs);
    EXPECT_EQ(r.dwExit, 1u) << strArgs;
    EXPECT_FALSE(r.strErr.empty()) << strArgs;
  }
  EXPECT_EQ(Quillmnt("get " + strName).strOut, strSettings);
}

// A name or value the ANSI code page cannot hold is refused with one line, never stored as a
// look-alike ("Ł" as "L") or as question marks; one it holds is kept as typed. A program that
// is not there yet is installed with a warning. A name too long for its settings to be reached
// is refused before anything is made.
TEST(CliWine, InstallRefusesWhatItCouldNotKeepAndWarnsOfAMissingProgram) {
  const std::string strBase = UniqueName("cp");
  for (const wchar_t* pszTail : {L"\u0416\u0443\u043a", L"\u0141", L"\u00e9"}) {
    char szNarrow[16] = "";
    BOOL bUsedDefault = FALSE;
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, pszTail, -1, szNarrow, sizeof(szNarrow),
                          nullptr, &bUsedDefault);
    const std::string strName = strBase + szNarrow;
    // Whatever a conversion may have made of the name, had it been let through.
    std::string strBestFit(16, '\0');
    strBestFit.resize(static_cast<std::size_t>(::WideCharToMultiByte(
                          CP_ACP, 0, pszTail, -1, strBestFit.data(), 16, nullptr, nullptr)) -
                      1);
    CServiceCleanup cleanup({strName, strBase + strBestFit});
    const CliResult r =
        RunInCmd(L"quillmnt install " + Widen(strBase) + pszTail + L" C:\\qmNowhere\\app.exe");
    if (bUsedDefault) {
      EXPECT_EQ(r.dwExit, 2u) << szNarrow;
      EXPECT_NE(r.strErr.find("ANSI code page cannot represent"), std::string::npos) << r.strErr;
      EXPECT_EQ(std::count(r.strErr.begin(), r.strErr.end(), '\n'), 1) << r.strErr;
      EXPECT_FALSE(ServiceExists(strBase + strBestFit)) << strBestFit;
    } else {
      EXPECT_EQ(r.dwExit, 0u) << r.strErr;
      EXPECT_TRUE(ServiceExists(strName)) << strName;
      EXPECT_EQ(r.strErr,
                "Warning: C:\\qmNowhere\\app.exe does not exist now; the service cannot start "
                "until it does.\r\n");
    }
  }
  // The longest name whose settings the registry's ANSI calls still reach, here and in the
  // runner; one more character is refused before anything is made.
  std::string strLong = strBase;
  strLong.resize(214, 'n');
  CServiceCleanup cleanup({strLong, strLong + "n"});
  EXPECT_EQ(Quillmnt("install " + strLong + " C:\\Windows\\notepad.exe").dwExit, 0u);
  EXPECT_EQ(Trimmed(Quillmnt("get " + strLong + " Runfile").strOut), "C:\\Windows\\notepad.exe");
  EXPECT_EQ(Quillmnt("install " + strLong + "n C:\\Windows\\notepad.exe").dwExit, 1u);
  EXPECT_FALSE(ServiceExists(strLong + "n"));
}

TEST(CliWine, UsageErrorsExitTwo) {
  for (const char* pszArgs : {"", "frobnicate", "remove", "start x --timeout never",
                              "install --display-name --startup manual x C:\\a.exe"}) {
    const CliResult r = Quillmnt(pszArgs);
    EXPECT_EQ(r.dwExit, 2u) << pszArgs;
    EXPECT_EQ(r.strOut, "");
    EXPECT_NE(r.strErr.find("Usage: quillmnt"), std::string::npos) << r.strErr;
  }
  const CliResult r = Quillmnt("--version");
  EXPECT_EQ(r.dwExit, 0u);
  EXPECT_EQ(r.strOut.rfind("quillmnt ", 0), 0u);
}

}  // namespace
}  // namespace qm::svc::test
