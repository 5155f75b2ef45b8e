// What Event Viewer and Explorer read from carrack.exe: its message table and version.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "carrack_messages.h"
#include "common/win32_handles.h"
#include "quillmont_version.h"
#include "tests/runner/service_fixture.h"

namespace qm::runner::test {
namespace {

struct ModuleTraits {
  using type = HMODULE;
  static type invalid() { return nullptr; }
  void close(type h) const { ::FreeLibrary(h); }
};

TEST(RunnerResources, EveryEventMessageFormatsWithItsInsertionStrings) {
  std::string strRunner = TestBinFolder() + "carrack.exe";
  unique_any<ModuleTraits> hModule(
      ::LoadLibraryExA(strRunner.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(hModule);
  const char* apszInserts[] = {"SvcName", "second", "third", "fourth", "fifth"};
  for (DWORD dwId : {MSG_PARAMETERS_KEY_UNREADABLE, MSG_PARAMETER_UNREADABLE,
                     MSG_PARAMETERS_INVALID, MSG_PROGRAM_NOT_STARTED, MSG_RUNNER_STEP_FAILED,
                     MSG_PROGRAM_FAILED, MSG_PROGRAM_ENDED, MSG_PROGRAM_ENDED_BY_FORCE,
                     MSG_PROGRAM_RESTARTING, MSG_PROGRAM_GIVEN_UP, MSG_OUTPUT_ROTATION_FAILED,
                     MSG_OUTPUT_ROTATION_RESUMED, MSG_OUTPUT_WRITE_FAILED, MSG_OUTPUT_FILE_IS_LINK,
                     MSG_OUTPUT_LOST, MSG_STATE_NAME_TAKEN, MSG_LEFTOVERS_ENDED_BY_FORCE}) {
    char szText[1024] = "";
    DWORD dwLength =
        ::FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, hModule.get(),
                         dwId, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), szText, sizeof(szText),
                         reinterpret_cast<va_list*>(const_cast<char**>(apszInserts)));
    ASSERT_GT(dwLength, 0u) << "message " << (dwId & 0xFFFF) << ": " << ::GetLastError();
    std::string strText = szText;
    EXPECT_NE(strText.find("SvcName"), std::string::npos) << strText;
    EXPECT_EQ(strText.find('%'), std::string::npos) << strText;
  }
}

TEST(RunnerResources, DescribesItselfAsTheServiceRunner) {
  std::string strRunner = TestBinFolder() + "carrack.exe";
  DWORD dwHandle = 0;
  DWORD dwSize = ::GetFileVersionInfoSizeA(strRunner.c_str(), &dwHandle);
  ASSERT_GT(dwSize, 0u);
  std::string block(dwSize, '\0');
  ASSERT_TRUE(::GetFileVersionInfoA(strRunner.c_str(), 0, dwSize, block.data()));
  char* pszValue = nullptr;
  UINT uLength = 0;
  ASSERT_TRUE(::VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\FileDescription",
                               reinterpret_cast<void**>(&pszValue), &uLength));
  EXPECT_STREQ(pszValue, "Quillmont service runner");
  ASSERT_TRUE(::VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\ProductVersion",
                               reinterpret_cast<void**>(&pszValue), &uLength));
  EXPECT_STREQ(pszValue, QM_VERSION_STRING);
  VS_FIXEDFILEINFO* pFixed = nullptr;
  ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&pFixed), &uLength));
  EXPECT_EQ(pFixed->dwProductVersionMS, DWORD{(QM_VERSION_MAJOR << 16) | QM_VERSION_MINOR});
}

}  // namespace
}  // namespace qm::runner::test
