#pragma once
// The one process-wide implementation of a system interface that a component calls, with the
// Win32 one as default: a test installs its own and puts the previous one back.

namespace qm {

template <class TInterface>
class CSeam {
 public:
  explicit constexpr CSeam(TInterface* pDefault) : m_pDefault(pDefault), m_pCurrent(pDefault) {}
  TInterface& Get() const { return *m_pCurrent; }
  // Null puts the default back. Returns the one installed before.
  TInterface* Install(TInterface* pInterface) {
    TInterface* pPrevious = m_pCurrent;
    m_pCurrent = pInterface != nullptr ? pInterface : m_pDefault;
    return pPrevious;
  }

 private:
  TInterface* m_pDefault;
  TInterface* m_pCurrent;
};

}  // namespace qm
