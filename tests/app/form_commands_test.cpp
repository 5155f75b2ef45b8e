// The window's Install and Remove over the scripted platform: the boxes each outcome ends in,
// with their captions and styles in order, and whether the form is emptied.

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/form_commands.h"
#include "tests/app/recording_message_box.h"
#include "tests/app/test_form.h"
#include "tests/service/fake_platform.h"

namespace qm::test {
namespace {

using svc::test::CFakePlatform;

struct BoxCase {
  const char* pszName;
  bool bRemove;  // else Install
  std::function<void(CFakePlatform&)> setup;
  std::vector<int> answers;
  std::vector<std::string> boxes;  // "caption/style"
  bool bEmptied;
};

void PrintTo(const BoxCase& c, std::ostream* os) {
  *os << c.pszName;
}

void AddOurs(CFakePlatform& fake) {
  fake.AddService("QmSvc", svc::kServiceAutoStart);
  fake.SetValue("SYSTEM\\CurrentControlSet\\Services\\QmSvc\\Parameters", "Installer", svc::kRegSz,
                std::string("quillmnt", 9));
}
void AddForeign(CFakePlatform& fake) {
  fake.AddService("QmSvc", svc::kServiceDemandStart);
}
auto Failing(const char* pszCall, std::uint32_t dwCode) {
  return [=](CFakePlatform& fake) {
    if (std::string(pszCall) != "OpenSCManager") AddOurs(fake);
    fake.FailCall(pszCall, dwCode);
  };
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
  if (c.setup) c.setup(fake);
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
INSTANTIATE_TEST_SUITE_P(
    Outcomes, FormCommandsTest,
    ::testing::Values(
        BoxCase{"Created", false, nullptr, {}, {"Success/64"}, true},
        // The service exists all the same: a second Install would only be refused.
        BoxCase{"CreatedIncomplete",
                false,
                [](CFakePlatform& fake) { fake.FailCall("RegCreateKeyEx", 5); },
                {},
                {"Error/48"},
                true},
        BoxCase{"NotCreated", false, Failing("OpenSCManager", 5), {}, {"Error/48"}, false},
        BoxCase{"Refused", false, AddOurs, {}, {"Error/48"}, false},
        BoxCase{"NotRegistered", true, nullptr, {}, {"No Service/48"}, false},
        BoxCase{"Own", true, AddOurs, {IDYES}, {"Please Confirm/36", "Success!/64"}, true},
        BoxCase{"Foreign",
                true,
                AddForeign,
                {IDYES, IDYES},
                {"Please Confirm/36", "Please Reconfirm/20", "Success!/64"},
                true},
        BoxCase{"ForeignDeclined",
                true,
                AddForeign,
                {IDYES, IDNO},
                {"Please Confirm/36", "Please Reconfirm/20"},
                false},
        // Any answer but Yes is No.
        BoxCase{"Cancelled", true, AddOurs, {IDCANCEL}, {"Please Confirm/36"}, false},
        BoxCase{"StartTypeUnread",
                true,
                Failing("QueryServiceConfig", 5),
                {IDYES},
                {"Please Confirm/36", "Error/48"},
                false},
        BoxCase{"ServiceUnopened",
                true,
                Failing("OpenService", 5),
                {IDYES},
                {"Please Confirm/36"},
                false},
        BoxCase{"NotDeleted",
                true,
                Failing("DeleteService", 1072),
                {IDYES},
                {"Please Confirm/36", "Error/16"},
                false}),
    [](const auto& info) { return std::string(info.param.pszName); });

}  // namespace
}  // namespace qm::test
