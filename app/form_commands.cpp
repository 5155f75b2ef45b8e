#include "app/form_commands.h"

#include <windows.h>

#include <vector>

#include "common/ascii_case.h"

namespace qm::app {

using svc::CommandOutcome;
using svc::FailedStep;
using svc::OutcomeKind;
using svc::Refusal;

CFormCommands::CFormCommands(platform::ServicePlatform& platform, IServiceForm& form,
                             IMessageBox& messageBox)
    : m_commands(platform), m_form(form), m_messageBox(messageBox) {}

std::string CFormCommands::ReadText(int nId) {
  std::vector<char> text(static_cast<std::size_t>(FieldCapacity(nId)), '\0');
  m_form.ReadField(nId, text.data(), FieldCapacity(nId));
  return text.data();
}

void CFormCommands::OnInstall() {
  svc::InstallRequest request;
  request.strServiceName = ReadText(IDC_SERVICE_NAME);
  request.strDisplayName = ReadText(IDC_DISPLAY_NAME);
  request.bAutoStart = EqualsIgnoringCase(ReadText(IDC_STARTUP), "Automatic");
  request.strDependencies = ReadText(IDC_DEPENDENCIES);
  request.strArguments = ReadText(IDC_ARGUMENTS);
  request.strExecutable = ReadText(IDC_EXECUTABLE);
  request.strWorkingDirectory = ReadText(IDC_WORKING_DIR);

  const CommandOutcome outcome = m_commands.Install(request);
  ShowOutcome(outcome);
  // Emptied once the service exists, even when its Parameters key could not be completed:
  // a second Install of the same name would only be refused.
  if (outcome.kind != OutcomeKind::kCreated) return;
  for (int nId : {IDC_SERVICE_NAME, IDC_DISPLAY_NAME, IDC_DEPENDENCIES, IDC_ARGUMENTS,
                  IDC_EXECUTABLE, IDC_WORKING_DIR}) {
    m_form.WriteField(nId, "");
  }
}

void CFormCommands::OnRemove() {
  svc::RemoveRequest request;
  request.strServiceName = ReadText(IDC_SERVICE_NAME);
  const CommandOutcome outcome = m_commands.Remove(request, *this);
  ShowOutcome(outcome);
  if (outcome.kind == OutcomeKind::kRemoved) m_form.WriteField(IDC_SERVICE_NAME, "");
}

bool CFormCommands::Confirm(svc::RemoveQuestion question, const std::string& strText) {
  const bool bFirst = question == svc::RemoveQuestion::kConfirm;
  // No default-button flag: Yes is the default in both.
  return m_messageBox.Show(strText.c_str(), bFirst ? "Please Confirm" : "Please Reconfirm",
                           MB_YESNO | (bFirst ? MB_ICONQUESTION : MB_ICONHAND)) == IDYES;
}

void CFormCommands::ShowOutcome(const CommandOutcome& outcome) {
  if (outcome.strText.empty()) return;
  const char* pszCaption = "Error";
  UINT uIcon = MB_ICONEXCLAMATION;
  if (outcome.Succeeded()) {
    pszCaption = outcome.kind == OutcomeKind::kCreated ? "Success" : "Success!";
    uIcon = MB_ICONINFORMATION;
  } else if (outcome.refusal == Refusal::kNotRegistered) {
    pszCaption = "No Service";
  } else if (outcome.step == FailedStep::kDelete) {
    uIcon = MB_ICONHAND;
  }
  m_messageBox.Show(outcome.strText.c_str(), pszCaption, MB_OK | uIcon);
}

}  // namespace qm::app
