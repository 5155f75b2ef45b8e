// quillmnt.com as a user runs it: typed into cmd.exe (found beside quillmnt.exe through
// PATHEXT), output captured, exit code checked, against the real Service Control Manager.

#include <windows.h>

#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include "cli/win32_runner_view.h"
#include "common/win32_handles.h"
#include "tests/support/wine_test_support.h"

namespace qm::test {
namespace {

struct CliResult {
  DWORD dwExit = 999;
  std::string strOut;
  std::string strErr;
};

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

// Runs "cmd <switches> <line>" in the folder of quillmnt.com, handing it the line as a Unicode
// program does; ends it after a minute at the latest.
CliResult RunInCmd(const std::wstring& wstrLine, const wchar_t* pszSwitches = L"/c") {
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
    std::wstring wstrCommand = L"cmd.exe " + std::wstring(pszSwitches) + L" " + wstrLine;
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

CliResult RunInCmd(const std::string& strLine, const wchar_t* pszSwitches = L"/c") {
  return RunInCmd(Widen(strLine), pszSwitches);
}

CliResult Quillmnt(const std::string& strArgs) {
  return RunInCmd("quillmnt " + strArgs);
}

std::string Trimmed(std::string strText) {
  while (!strText.empty() && (strText.back() == '\n' || strText.back() == '\r')) strText.pop_back();
  return strText;
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
  std::uint32_t dwType = 0;
  EXPECT_EQ(ReadValue("SYSTEM\\CurrentControlSet\\Services\\" + strName + "\\Parameters",
                      "Arguments", &dwType),
            strArguments + '\0');

  EXPECT_EQ(Quillmnt("status " + strName).dwExit, 3u);
  r = Quillmnt("start " + strName);
  ASSERT_EQ(r.dwExit, 0u) << r.strErr;
  ASSERT_TRUE(WaitForRecord(strRecord, 10000));
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
  const ULONGLONG qwStartMs = ::GetTickCount64();
  ASSERT_EQ(Quillmnt("start " + strName).dwExit, 0u);
  for (int i = 0; i < 20 && r.dwExit != 5; ++i) {
    r = Quillmnt("status " + strName);
    if (r.dwExit != 5) ::Sleep(250);
  }
  const ULONGLONG qwSeenMs = ::GetTickCount64() - qwStartMs;
  EXPECT_EQ(r.dwExit, 5u) << r.strOut;
  const std::string strWaiting =
      strName + ": running (restarting: the program ended with exit code 3, next start in ";
  ASSERT_EQ(r.strOut.rfind(strWaiting, 0), 0u) << r.strOut;
  EXPECT_NE(r.strOut.find(" s, restart 1 in a row)\r\n"), std::string::npos) << r.strOut;
  // The restart was scheduled 50 s ahead after the start was asked for, and the status read
  // no later than qwSeenMs after it: what is left lies between 50 s less that and 50 s.
  const unsigned long ulLeft = std::stoul(r.strOut.substr(strWaiting.size()));
  EXPECT_LE(ulLeft, 50u) << r.strOut;
  EXPECT_GE(ulLeft + qwSeenMs / 1000 + 1, 50u) << r.strOut << " after " << qwSeenMs << " ms";

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

// A program that is ready two seconds after its start, healthy for two more, then refusing
// connections: start waits until it is ready, and status tells each step from the runner's
// record (what the start waits for, healthy, the health check failing).
TEST(CliWine, StartWaitsUntilTheProgramIsReadyAndStatusTellsTheChecks) {
  const std::string strName = UniqueName("cliready");
  CServiceCleanup cleanup({strName});
  const std::string strPort = std::to_string(21000 + ::GetCurrentProcessId() % 4000);
  const std::string strUrl = "http://127.0.0.1:" + strPort + "/health";
  CliResult r =
      Quillmnt("install --startup manual " + strName + " \"" + TestBinFolder() +
               "probe.exe\" --listen " + strPort + " --http 200 --after 2000 --hang-after 2000");
  ASSERT_EQ(r.dwExit, 0u) << r.strErr;
  for (const std::string& strSet :
       {"ReadyCheck " + strUrl, std::string("ReadyInterval 100"), "HealthCheck " + strUrl,
        std::string("HealthInterval 200"), std::string("HealthRetries 1000")}) {
    r = Quillmnt("set " + strName + " " + strSet);
    ASSERT_EQ(r.dwExit, 0u) << strSet << ": " << r.strErr;
  }
  ASSERT_EQ(Quillmnt("start --no-wait " + strName).dwExit, 0u);
  r = Quillmnt("status " + strName);
  EXPECT_EQ(r.dwExit, 4u) << r.strOut;
  EXPECT_EQ(r.strOut.rfind(strName + ": starting (waiting for " + strUrl + ", ", 0), 0u)
      << r.strOut;
  EXPECT_NE(r.strOut.find(" s of 60 s"), std::string::npos) << r.strOut;
  r = Quillmnt("start " + strName);
  EXPECT_EQ(r.dwExit, 0u) << r.strErr;
  EXPECT_EQ(r.strOut, strName + ": running\r\n");
  const auto seen = [&](DWORD dwExit, const std::string& strPart) {
    return WaitUntil(
        [&] {
          r = Quillmnt("status " + strName);
          return r.dwExit == dwExit && r.strOut.find(strPart) != std::string::npos;
        },
        20000);
  };
  EXPECT_TRUE(seen(0, "; healthy)")) << r.strOut;
  EXPECT_TRUE(seen(6, "; health check failing ")) << r.strOut;
  EXPECT_NE(r.strOut.find(" of 1000: cannot connect)"), std::string::npos) << r.strOut;
  EXPECT_EQ(Quillmnt("stop " + strName).dwExit, 0u);
}

// Beside a foreign service: list and remove keep to ours, dump's script makes ours anew, and
// the settings the manager keeps, and a list in the registry, round trip.
// What the manager keeps as the service's pre-shutdown timeout, read back as Windows tells
// it; 0 when it cannot be read.
DWORD PreshutdownTimeout(const std::string& strName) {
  unique_schandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  unique_schandle service(::OpenServiceA(manager.get(), strName.c_str(), SERVICE_QUERY_CONFIG));
  SERVICE_PRESHUTDOWN_INFO info = {};
  DWORD cb = 0;
  if (!::QueryServiceConfig2A(service.get(), SERVICE_CONFIG_PRESHUTDOWN_INFO,
                              reinterpret_cast<BYTE*>(&info), sizeof(info), &cb)) {
    return 0;
  }
  return info.dwPreshutdownTimeout;
}

// Wine keeps the timeout (and never sends the pre-shutdown control): install, set and reset
// of StopTimeout leave it at StopTimeout and 5 s, never below 180 s.
TEST(CliWine, ThePreshutdownTimeoutFollowsStopTimeout) {
  const std::string strName = UniqueName("clipreshut");
  CServiceCleanup cleanup({strName});
  ASSERT_EQ(Quillmnt("install --startup manual " + strName + " C:\\App\\app.exe").dwExit, 0u);
  EXPECT_EQ(PreshutdownTimeout(strName), 180000u);
  const struct {
    const char* pszArgs;
    DWORD dwTimeoutMs;
  } kSteps[] = {{" StopTimeout 300000", 305000},
                {" StopTimeout 600000", 605000},
                {" StopTimeout 1000", 180000},
                {" StopTimeout 250000", 255000}};
  for (const auto& step : kSteps) {
    CliResult r = Quillmnt("set " + strName + step.pszArgs);
    ASSERT_EQ(r.dwExit, 0u) << step.pszArgs << ": " << r.strErr;
    EXPECT_EQ(PreshutdownTimeout(strName), step.dwTimeoutMs) << step.pszArgs;
  }
  ASSERT_EQ(Quillmnt("reset " + strName + " StopTimeout").dwExit, 0u);
  EXPECT_EQ(PreshutdownTimeout(strName), 180000u);
}

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
      {"Environment", "A=1 \"B=x y\"", "A=1\r\nB=x y", ""},
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
}

// Writes a setting as another tool could, past set's checks: straight into the manager or the
// service's Parameters key (lists: their entries, NUL between them).
bool WriteRaw(const std::string& strName, const std::string& strSetting,
              const std::string& strText) {
  unique_schandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  unique_schandle service(::OpenServiceA(manager.get(), strName.c_str(), SERVICE_CHANGE_CONFIG));
  if (!service) return false;
  if (strSetting == "DisplayName" || strSetting == "Dependencies") {
    const std::string strList = strText + std::string(2, '\0');
    const bool bDisplay = strSetting == "DisplayName";
    return ::ChangeServiceConfigA(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                  SERVICE_NO_CHANGE, nullptr, nullptr, nullptr,
                                  bDisplay ? nullptr : strList.c_str(), nullptr, nullptr,
                                  bDisplay ? strText.c_str() : nullptr);
  }
  if (strSetting == "Description") {
    SERVICE_DESCRIPTIONA description = {const_cast<char*>(strText.c_str())};
    return ::ChangeServiceConfig2A(service.get(), SERVICE_CONFIG_DESCRIPTION, &description);
  }
  unique_hkey key;
  const std::string strKey = "SYSTEM\\CurrentControlSet\\Services\\" + strName + "\\Parameters";
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, strKey.c_str(), 0, KEY_SET_VALUE, key.put()) !=
      ERROR_SUCCESS) {
    return false;
  }
  const bool bList = strSetting == "Environment";
  const std::string data = strText + std::string(bList ? 2 : 1, '\0');
  return ::RegSetValueExA(key.get(), strSetting.c_str(), 0, bList ? REG_MULTI_SZ : REG_SZ,
                          reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

// Every text dump writes, with what cmd and the runtime treat specially, a character of the
// ANSI code page and blanks at the ends: the script, replayed by a cmd with delayed expansion
// on, runs nothing else and makes each byte again. The same texts with a line break in them
// (a two-line description an installer left, say) refuse the dump in one line instead.
// Accounts are stored with ObjectName as given, a virtual or managed one without a password,
// a user's with the one read from standard input, never taken from a prompt that cannot be
// answered. Wine's security policy holds no rights: an account it finds is told "granted" at
// every set, one it does not know is a warning. Wine keeps no failure actions: Recovery reads
// none, and a list is refused with the manager's own error, the recovery as it was.
TEST(CliWine, AccountsAreStoredAsGivenAndRecoveryIsWhatWineKeeps) {
  const std::string strName = UniqueName("cliaccount");
  CServiceCleanup cleanup({strName});
  ASSERT_EQ(
      Quillmnt("install --startup manual " + strName + " \"" + TestBinFolder() + "probe.exe\"")
          .dwExit,
      0u);
  const std::string strKey = "SYSTEM\\CurrentControlSet\\Services\\" + strName;
  char szUser[256] = {};
  DWORD cchUser = sizeof(szUser);
  ASSERT_TRUE(::GetUserNameA(szUser, &cchUser));
  const std::string strUser = std::string(".\\") + szUser;
  const std::string strSet = "set " + strName + " Account ";
  const struct {
    std::string strLine;  // after "cmd /c"
    DWORD dwExit;
    std::string strStored;  // ObjectName after it
    std::string strOut;     // after "Account of <name> set."
    const char* pszErr;     // a part of standard error; "" none
  } kCases[] = {
      {"quillmnt " + strSet + "\"NT SERVICE\\" + strName + "\"", 0, "NT SERVICE\\" + strName, "",
       ""},
      {"echo s3cret| quillmnt set --password-stdin " + strName + " Account .\\qmtestnobody", 0,
       ".\\qmtestnobody", "",
       "Warning: could not find the account to grant \"Log on as a service\" to .\\qmtestnobody"},
      {"quillmnt " + strSet + "CORP\\web$", 0, "CORP\\web$", "", "Warning: could not find"},
      {"echo s3cret| quillmnt set --password-stdin " + strName + " Account " + strUser, 0, strUser,
       "Log on as a service granted to " + strUser + ".\r\n", ""},
      // Wine stored nothing: granted again.
      {"quillmnt " + strSet + strUser + " visible", 0, strUser,
       "Log on as a service granted to " + strUser + ".\r\n", ""},
      {"quillmnt set --no-grant " + strName + " Account .\\qmtestnobody pw", 0, ".\\qmtestnobody",
       "", ""},
      // Standard input that is no console (here the NUL device) and holds nothing. (Without
      // a redirection, Wine hands the child of a windowless cmd a console of its own.)
      {"quillmnt " + strSet + strUser + " < NUL", 1, ".\\qmtestnobody", "",
       "needs its password: give it on standard input with --password-stdin"},
  };
  for (const auto& c : kCases) {
    const CliResult r = RunInCmd(c.strLine);
    EXPECT_EQ(r.dwExit, c.dwExit) << c.strLine << ": " << r.strErr;
    std::uint32_t dwType = 0;
    EXPECT_EQ(ReadValue(strKey, "ObjectName", &dwType), c.strStored + '\0') << c.strLine;
    if (c.dwExit == 0) {
      EXPECT_EQ(r.strOut, "Account of " + strName + " set.\r\n" + c.strOut) << c.strLine;
    }
    if (*c.pszErr == '\0') {
      EXPECT_EQ(r.strErr, "") << c.strLine;
    } else {
      EXPECT_NE(r.strErr.find(c.pszErr), std::string::npos) << c.strLine << ": " << r.strErr;
    }
  }
  CliResult r = Quillmnt("get " + strName + " Account");
  EXPECT_EQ(r.strOut, ".\\qmtestnobody\r\n");

  r = Quillmnt("get " + strName);
  EXPECT_NE(r.strOut.find("\r\nRecovery = none\r\nRecoveryReset = 86400\r\n"), std::string::npos)
      << r.strOut;
  r = Quillmnt("set " + strName + " Recovery restart/60000,restart/60000,none");
  EXPECT_EQ(r.dwExit, 1u);
  EXPECT_EQ(r.strErr.rfind("Could not make a stop with an error count as a failure of " + strName +
                               "; its recovery is as it was. ",
                           0),
            0u)
      << r.strErr;
  EXPECT_EQ(Quillmnt("reset " + strName + " Recovery").dwExit, 0u);
  EXPECT_EQ(Quillmnt("set " + strName + " RecoveryReset 60").dwExit, 1u);
  EXPECT_EQ(Quillmnt("get " + strName + " Recovery").strOut, "none\r\n");
}

TEST(CliWine, DumpReplaysEveryTextExactlyOrRefusesIt) {
  const std::string strName = UniqueName("clitexts");
  CServiceCleanup cleanup({strName});
  const std::string strMarker = "C:\\qmcli" + std::to_string(::GetCurrentProcessId()) + ".txt";
  const std::string strRun = "echo INJECTED>" + strMarker + "&rem ";
  ASSERT_EQ(Quillmnt("install --startup manual " + strName + " C:\\App\\app.exe").dwExit, 0u);
  const struct {
    const char* pszSetting;
    std::string strText;   // fits one line of the script
    const char* pszBreak;  // what refuses it
  } kTexts[] = {
      {"DisplayName", "Caf\xE9 !x! %OS% ^ & \"q\" \\", "\r\n"},
      {"Description", "Sync job. Caf\xE9 !x! 50% ^ " + strRun + "\"q\" \\", "\r\n"},
      {"Dependencies", "RpcSs" + std::string(1, '\0') + "x!x!%OS%^&", "\n"},
      {"Runfile", "C:\\p !x! %OS% ^ & (y)\\app.exe", "\r"},
      {"Arguments", "  -x !x! %OS% ^ \"q\" \\ " + strRun + " ", "\n"},
      {"Directory", "C:\\d !x! %OS% ^ & \"q\" \\", "\r\n"},
      {"Stdout", "C:\\o !x! %OS% ^ & Caf\xE9.log", "\n"},
      {"Stderr", "C:\\e !x! ^ & \\", "\r"},
      {"Environment", "A=Caf\xE9 !x! %OS% ^ & \"q\" \\" + std::string(1, '\0') + "B=  edge  ",
       "\r\n"},
  };
  for (const auto& text : kTexts) {
    ASSERT_TRUE(
        WriteRaw(strName, text.pszSetting, "line one" + std::string(text.pszBreak) + strRun))
        << text.pszSetting;
    const CliResult r = Quillmnt("dump " + strName);
    EXPECT_EQ(r.dwExit, 1u) << text.pszSetting;
    EXPECT_EQ(r.strOut, "") << text.pszSetting;
    EXPECT_EQ(r.strErr.rfind(std::string(text.pszSetting) + " of " + strName + " holds ", 0), 0u)
        << r.strErr;
    EXPECT_EQ(std::count(r.strErr.begin(), r.strErr.end(), '\n'), 1) << r.strErr;
    ASSERT_TRUE(WriteRaw(strName, text.pszSetting, text.strText)) << text.pszSetting;
  }
  // The marker of the ANSI code page that the OEM one lacks: nothing can carry it.
  ASSERT_TRUE(WriteRaw(strName, "Description", "5 \x80"));
  CliResult r = Quillmnt("dump " + strName);
  EXPECT_EQ(r.dwExit, 1u);
  EXPECT_EQ(r.strErr.rfind("Description of " + strName + " holds a character ", 0), 0u)
      << "[" << r.strErr << "][" << r.strOut << "]";
  ASSERT_TRUE(WriteRaw(strName, "Description", kTexts[1].strText));

  const std::string strKey = "SYSTEM\\CurrentControlSet\\Services\\" + strName + "\\Parameters";
  const auto rawValues = [&] {
    std::string strValues;
    for (const auto& text : kTexts) {
      std::uint32_t dwType = 0;
      strValues += std::string(text.pszSetting) + "=" +
                   ReadValue(strKey, text.pszSetting, &dwType) + "|" + std::to_string(dwType) +
                   "\n";
    }
    return strValues;
  };
  const std::string strBefore = Quillmnt("get " + strName).strOut + rawValues();
  const std::string strScript = TempFolder() + strName + ".cmd";
  r = RunInCmd("quillmnt dump " + strName + " > \"" + strScript + "\"");
  ASSERT_EQ(r.dwExit, 0u) << r.strErr;
  ASSERT_EQ(Quillmnt("remove " + strName).dwExit, 0u);
  r = RunInCmd("\"" + strScript + "\"", L"/v:on /c");
  EXPECT_EQ(r.dwExit, 0u) << r.strErr << ReadFileText(strScript);
  EXPECT_EQ(Quillmnt("get " + strName).strOut + rawValues(), strBefore) << ReadFileText(strScript);
  EXPECT_EQ(::GetFileAttributesA(strMarker.c_str()), INVALID_FILE_ATTRIBUTES);
  ::DeleteFileA(strMarker.c_str());
  ::DeleteFileA(strScript.c_str());
}

// status and list believe a runner's record only when its section belongs to the runner's
// account, the system or the administrators. Wine lets a process name any owner for what it
// makes (Windows would ask for the restore privilege), which lets the test play each maker.
TEST(CliWine, TheRunnersRecordIsBelievedOnlyFromItsOwnAccount) {
  const struct {
    const char* pszOwner;  // SDDL owner; "" for the maker's own default
    const char* pszAccount;
    bool bOwnProcess;  // the record names this process as the runner: its token is the runner's
    cli::RunnerViewRead read;
  } kCases[] = {
      {"SY", "LocalSystem", false, cli::RunnerViewRead::kRead},
      {"BA", "NT AUTHORITY\\NetworkService", false, cli::RunnerViewRead::kRead},
      {"LS", "NT AUTHORITY\\LocalService", false, cli::RunnerViewRead::kRead},
      {"LS", "LocalSystem", false, cli::RunnerViewRead::kUntrusted},
      {"NS", "NT AUTHORITY\\LocalService", false, cli::RunnerViewRead::kUntrusted},
      {"BU", ".\\nobody", false, cli::RunnerViewRead::kUntrusted},
      // How a runner's own section looks: made by its process, with no owner named.
      {"", "LocalSystem", true, cli::RunnerViewRead::kRead},
  };
  const contract::RunnerState written = {
      contract::state::Phase::kRunning, 4321, 777, false, 0, 0, 0};
  for (const auto& c : kCases) {
    // A process id no process has, or this process's own.
    const DWORD dwPid = c.bOwnProcess ? ::GetCurrentProcessId() : 0xFFFFFFF0u;
    const std::string strSddl =
        (*c.pszOwner != '\0' ? std::string("O:") + c.pszOwner : "") + "D:P(A;;GA;;;WD)";
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorA(
        strSddl.c_str(), SDDL_REVISION_1, &pDescriptor, nullptr));
    const unique_hlocal descriptor(pDescriptor);
    SECURITY_ATTRIBUTES sa = {sizeof(sa), pDescriptor, FALSE};
    unique_handle section(::CreateFileMappingA(INVALID_HANDLE_VALUE, &sa, PAGE_READWRITE, 0,
                                               contract::state::kRecordBytes,
                                               contract::state::SectionName(dwPid).c_str()));
    ASSERT_TRUE(section) << ::GetLastError();
    unique_mapped_view view(::MapViewOfFile(section.get(), FILE_MAP_WRITE, 0, 0, 0));
    ASSERT_TRUE(view);
    contract::WriteStateRecord(static_cast<contract::StateWords>(view.get()), written);

    cli::CWin32RunnerView runnerView;
    contract::RunnerState read;
    EXPECT_EQ(runnerView.Read(dwPid, {"qmSvc", c.pszAccount}, &read), c.read)
        << c.pszOwner << " " << c.pszAccount;
    if (c.read == cli::RunnerViewRead::kRead) {
      EXPECT_EQ(read, written);
    }
  }
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
}  // namespace qm::test
