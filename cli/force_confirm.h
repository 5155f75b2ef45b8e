#pragma once
// Remove's questions as the command line answers them: the first is the command itself; the
// second, for a service that is not ours or does not start automatically or on demand, is
// answered by --force.

#include "service/command_requests.h"

namespace qm::cli {

class CForceConfirm : public svc::IRemoveConfirm {
 public:
  explicit CForceConfirm(bool bForce) : m_bForce(bForce) {}
  bool Confirm(svc::RemoveQuestion question, const std::string& /*strText*/) override {
    return question == svc::RemoveQuestion::kConfirm || m_bForce;
  }

 private:
  bool m_bForce;
};

}  // namespace qm::cli
