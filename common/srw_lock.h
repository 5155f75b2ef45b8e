#pragma once
// A slim reader/writer lock held for the lifetime of a scope: taken on construction, given back
// on every way out of it.
//
//   CExclusiveLock hold(m_lock);  // writers
//   CSharedLock hold(m_lock);     // readers
#include <windows.h>

namespace qm {

template <bool bExclusive>
class CSrwLockHold {
 public:
  explicit CSrwLockHold(SRWLOCK& lock) : m_lock(lock) {
    if constexpr (bExclusive) {
      ::AcquireSRWLockExclusive(&m_lock);
    } else {
      ::AcquireSRWLockShared(&m_lock);
    }
  }
  ~CSrwLockHold() {
    if constexpr (bExclusive) {
      ::ReleaseSRWLockExclusive(&m_lock);
    } else {
      ::ReleaseSRWLockShared(&m_lock);
    }
  }
  CSrwLockHold(const CSrwLockHold&) = delete;
  CSrwLockHold& operator=(const CSrwLockHold&) = delete;

 private:
  SRWLOCK& m_lock;
};

using CExclusiveLock = CSrwLockHold<true>;
using CSharedLock = CSrwLockHold<false>;

}  // namespace qm
