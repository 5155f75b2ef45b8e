#pragma once
// A run of failures of one kind, reported once: the first failure of a run is worth an
// event-log entry, the rest of the run is not, and the first success ends the run.

namespace qm::runner {

class CFailureEpisode {
 public:
  // True for the first failure of a run.
  bool Failed() {
    bool bFirst = !m_bFailing;
    m_bFailing = true;
    return bFirst;
  }
  // True when this success ends a run of failures.
  bool Succeeded() {
    bool bEnded = m_bFailing;
    m_bFailing = false;
    return bEnded;
  }

 private:
  bool m_bFailing = false;
};

}  // namespace qm::runner
