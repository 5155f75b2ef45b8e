// The window's Install and Remove over the scripted platform: the boxes each outcome ends in,
// with their captions and styles in order, and whether the form is emptied.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/form_commands.h"
#include "tests/platform/fake_platform.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/test_form.h"

namespace qm::test {
namespace {

using platform::test::CFakePlatform;

enum class Existing { kNone, kOurs, kForeign };

struct BoxCase {
  const char* pszName;
  bool bRemove;  // else Install
  Existing existing;
  const char* pszFailing;  // a call that fails with 5, or null
  std::vector<int> answers;
  std::vector<std::string> boxes;  // "caption/style"
  bool bEmptied;
};

void PrintTo(const BoxCase& c, std::ostream* os) {
  *os << c.pszName;
}

class FormCommandsTest : public ::testing::TestWithParam<BoxCase> {
 protected:
  CFakePlatform fake;
  CTestForm form;
  CRecordingMessageBox box;
  app::CFormCommands commands{fake.Platform(), form, box};
};

TEST_P(FormCommandsTest, EachOutcomeEndsInItsBoxes) {
  const BoxCase& c = GetParam();
  if (c.existing != Existing::kNone) {
    fake.AddService("QmSvc", c.existing == Existing::kOurs ? platform::kServiceAutoStart
                                                           : platform::kServiceDemandStart);
  }
  if (c.existing == Existing::kOurs) {
    fake.SetValue("SYSTEM\\CurrentControlSet\\Services\\QmSvc\\Parameters", "Installer",
                  platform::kRegSz, std::string("quillmnt", 9));
  }
  if (c.pszFailing != nullptr) fake.FailCall(c.pszFailing, 5);
  box.m_answers.assign(c.answers.begin(), c.answers.end());
  form.m_fields = {{IDC_SERVICE_NAME, "QmSvc"}, {IDC_STARTUP, "Automatic"}};
  if (c.bRemove) {
    commands.OnRemove();
  } else {
    form.m_fields[IDC_DISPLAY_NAME] = "Qm Service";
    form.m_fields[IDC_EXECUTABLE] = "C:\\App\\app.exe";
    commands.OnInstall();
  }
  std::vector<std::string> boxes;
  for (const MessageBoxCall& call : box.m_boxes) {
    boxes.push_back(call.strCaption + "/" + std::to_string(call.dwStyle));
    EXPECT_FALSE(call.strText.empty()) << call.strCaption;
  }
  EXPECT_EQ(boxes, c.boxes);
  EXPECT_EQ(form.m_fields[IDC_SERVICE_NAME].empty(), c.bEmptied);
  EXPECT_EQ(form.m_fields[IDC_STARTUP], "Automatic");
}

// MB_OK 0, MB_YESNO 4; MB_ICONHAND 16, MB_ICONQUESTION 32, MB_ICONEXCLAMATION 48,
// MB_ICONINFORMATION 64.
constexpr Existing kOurs = Existing::kOurs;
constexpr Existing kForeign = Existing::kForeign;
constexpr Existing kNone = Existing::kNone;
const std::string kAsk = "Please Confirm/36";
const std::string kAskAgain = "Please Reconfirm/20";
const std::string kRemoved = "Success!/64";
const std::string kError = "Error/48";

INSTANTIATE_TEST_SUITE_P(
    Outcomes, FormCommandsTest,
    ::testing::Values(
        BoxCase{"Created", false, kNone, nullptr, {}, {"Success/64"}, true},
        // The service exists all the same: a second Install would only be refused.
        BoxCase{"CreatedIncomplete", false, kNone, "RegCreateKeyEx", {}, {kError}, true},
        BoxCase{"NotCreated", false, kNone, "OpenSCManager", {}, {kError}, false},
        BoxCase{"Refused", false, kOurs, nullptr, {}, {kError}, false},
        BoxCase{"NotRegistered", true, kNone, nullptr, {}, {"No Service/48"}, false},
        BoxCase{"Own", true, kOurs, nullptr, {IDYES}, {kAsk, kRemoved}, true},
        BoxCase{
            "Foreign", true, kForeign, nullptr, {IDYES, IDYES}, {kAsk, kAskAgain, kRemoved}, true},
        BoxCase{
            "ForeignDeclined", true, kForeign, nullptr, {IDYES, IDNO}, {kAsk, kAskAgain}, false},
        // Any answer but Yes is No.
        BoxCase{"Cancelled", true, kOurs, nullptr, {IDCANCEL}, {kAsk}, false},
        BoxCase{
            "StartTypeUnread", true, kOurs, "QueryServiceConfig", {IDYES}, {kAsk, kError}, false},
        BoxCase{"ServiceUnopened", true, kOurs, "OpenService", {IDYES}, {kAsk}, false},
        BoxCase{"NotDeleted", true, kOurs, "DeleteService", {IDYES}, {kAsk, "Error/16"}, false}),
    [](const auto& info) { return std::string(info.param.pszName); });

}  // namespace
}  // namespace qm::test
