#pragma once
// The registry store: the list of registered service names and the four primitives through
// which the commands reach the registry. The primitives return whether they succeeded
// (OpenKeyForRead an open key or kNoHandle); they show nothing.

#include <cstdint>
#include <deque>
#include <string>

#include "contract/runner_contract.h"
#include "platform/platform.h"

namespace qm::svc {

// The commands speak the seam's words: its calls, handles, constants and owners.
using namespace qm::platform;

using contract::kForeignInstallerMarker;
using contract::kInstallerMarker;
using contract::kParametersKeyClass;
using contract::kParametersKeyFormat;
using contract::kServicesKeyPath;

// Names of the Services key's subkeys. Each name goes to the head, so the list holds them in
// the reverse of the enumeration order; lookup is by whole name, exact and case-sensitive.
class RegisteredServiceList {
 public:
  void AddHead(const char* name) { m_names.emplace_front(name); }
  bool Contains(const char* name) const;
  std::size_t Count() const { return m_names.size(); }
  const std::deque<std::string>& Names() const { return m_names; }

 private:
  std::deque<std::string> m_names;
};

Handle OpenKeyForRead(IRegistry& registry, Handle root, const char* path);
// Reads a REG_SZ or REG_EXPAND_SZ value; *size is the buffer's capacity in, the data size out.
bool ReadRegString(IRegistry& registry, ISystem& system, char* buffer, std::uint32_t* size,
                   Handle root, const char* path, const char* valueName);
// Sets a REG_SZ value in an existing key (never creates the key).
bool WriteRegString(IRegistry& registry, ISystem& system, const char* data, std::uint32_t byteCount,
                    Handle root, const char* path, const char* valueName);
// Creates the key (an existing one counts as success) and closes it.
bool CreateRegKey(IRegistry& registry, ISystem& system, Handle root, const char* path);

}  // namespace qm::svc
