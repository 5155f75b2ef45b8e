#pragma once
// What Install and Remove are asked to do, as plain values (the window reads them from its
// form, the command line from its arguments), and how Remove asks before it deletes.

#include <string>

namespace qm::svc {

struct InstallRequest {
  std::string strServiceName;
  std::string strDisplayName;
  bool bAutoStart = true;       // else started on demand
  std::string strDependencies;  // service names separated by ";"
  std::string strArguments;     // for the program, as typed
  std::string strExecutable;    // the program the runner starts
  std::string strWorkingDirectory;
};

struct RemoveRequest {
  std::string strServiceName;
};

// Remove's two questions: the first for every service, the second (sterner) for a service
// this tool did not install, or one that is disabled, a driver or otherwise not started
// automatically or on demand.
enum class RemoveQuestion { kConfirm, kReconfirm };

class IRemoveConfirm {
 public:
  virtual ~IRemoveConfirm() = default;
  // True to go on. strText is the question as the window asks it.
  virtual bool Confirm(RemoveQuestion question, const std::string& strText) = 0;
};

}  // namespace qm::svc
