#include "runner/failure_event.h"

#include "carrack_messages.h"
#include "contract/runner_contract.h"
#include "runner/event_log.h"

namespace qm::runner {

void WriteFailureEvent(const std::string& strServiceName, const RunnerFailure& failure) {
  const char* pszName = strServiceName.c_str();
  const std::string strError = SystemErrorText(failure.dwError);
  switch (failure.kind) {
    case FailureKind::kKeyUnreadable:
      WriteEvent(EVENTLOG_ERROR_TYPE, MSG_PARAMETERS_KEY_UNREADABLE,
                 {pszName, failure.strSubject.c_str(), strError.c_str()});
      return;
    case FailureKind::kValueUnreadable: {
      const std::string strKey = contract::ParametersKeyPath(strServiceName);
      WriteEvent(EVENTLOG_ERROR_TYPE, MSG_PARAMETER_UNREADABLE,
                 {pszName, failure.strSubject.c_str(), strKey.c_str(), strError.c_str()});
      return;
    }
    case FailureKind::kValueRefused:
      WriteEvent(EVENTLOG_ERROR_TYPE, MSG_PARAMETERS_INVALID, {pszName, failure.strDetail.c_str()});
      return;
    case FailureKind::kOutputIsLink:
      WriteEvent(EVENTLOG_ERROR_TYPE, MSG_OUTPUT_FILE_IS_LINK,
                 {pszName, failure.strSubject.c_str(), failure.strDetail.c_str()});
      return;
    case FailureKind::kProgramNotStarted:
      WriteEvent(
          EVENTLOG_ERROR_TYPE, MSG_PROGRAM_NOT_STARTED,
          {pszName, failure.strSubject.c_str(), failure.strDetail.c_str(), strError.c_str()});
      return;
    case FailureKind::kStepFailed:
      WriteEvent(EVENTLOG_ERROR_TYPE, MSG_RUNNER_STEP_FAILED,
                 {pszName, failure.strStep.c_str(), strError.c_str()});
      return;
  }
}

}  // namespace qm::runner
