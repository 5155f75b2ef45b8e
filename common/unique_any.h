#pragma once
// One move-only owner for every kind of handle. A traits type names the handle type, its
// invalid value and how to close it. Traits may carry state (for example the platform object
// that has to close a handle it gave out); stateless traits cost nothing.
//
//   struct RegKeyTraits {
//     using type = HKEY;
//     static type invalid() { return nullptr; }
//     void close(type h) const { RegCloseKey(h); }
//   };
//   using unique_hkey = unique_any<RegKeyTraits>;

#include <utility>

namespace qm {

template <class Traits>
class unique_any {
 public:
  using type = typename Traits::type;

  unique_any() = default;
  explicit unique_any(type h, Traits traits = Traits{}) : m_traits(std::move(traits)), m_h(h) {}
  unique_any(const unique_any&) = delete;
  unique_any& operator=(const unique_any&) = delete;
  unique_any(unique_any&& other) noexcept
      : m_traits(std::move(other.m_traits)), m_h(other.release()) {}
  unique_any& operator=(unique_any&& other) noexcept {
    if (this != &other) {
      reset(other.release());
      m_traits = std::move(other.m_traits);
    }
    return *this;
  }
  ~unique_any() { reset(); }

  type get() const { return m_h; }
  explicit operator bool() const { return m_h != Traits::invalid(); }

  // Closes the owned handle (if any) and takes the new one. Closing never changes the
  // caller's view of the last error: traits that talk to a platform with a last-error value
  // save and restore it in close().
  void reset(type h = Traits::invalid()) {
    type old = m_h;
    m_h = h;
    if (old != Traits::invalid()) m_traits.close(old);
  }

  type release() {
    type h = m_h;
    m_h = Traits::invalid();
    return h;
  }

  // For out-parameters: closes what is owned and hands the slot to the callee.
  type* put() {
    reset();
    return &m_h;
  }

  const Traits& traits() const { return m_traits; }

 private:
  [[no_unique_address]] Traits m_traits{};
  type m_h = Traits::invalid();
};

}  // namespace qm
