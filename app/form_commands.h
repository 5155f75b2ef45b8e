#pragma once
// The window's Install and Remove: the form read into a request, Remove's questions asked in
// message boxes, the outcome shown in the one box it ends in, and the form emptied after a
// service was created or removed.

#include "app/message_box.h"
#include "app/service_form.h"
#include "service/service_commands.h"

namespace qm::app {

class CFormCommands : private qm::svc::IRemoveConfirm {
 public:
  CFormCommands(qm::platform::ServicePlatform& platform, IServiceForm& form,
                IMessageBox& messageBox);

  void OnInstall();
  void OnRemove();

  qm::svc::CServiceCommands& Commands() { return m_commands; }

 private:
  bool Confirm(qm::svc::RemoveQuestion question, const std::string& strText) override;
  std::string ReadText(int nId);
  // The box an outcome ends in; none when the window has nothing more to say.
  void ShowOutcome(const qm::svc::CommandOutcome& outcome);

  qm::svc::CServiceCommands m_commands;
  IServiceForm& m_form;
  IMessageBox& m_messageBox;
};

}  // namespace qm::app
