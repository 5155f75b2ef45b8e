#include "framework/message_map.h"

namespace qm::fw {

namespace {

bool CarriesCodeAndId(UINT nMessage) {
  return nMessage == WM_COMMAND || nMessage == WM_NOTIFY;
}

bool IsReflected(UINT nMessage) {
  return nMessage == kReflectedCommand || nMessage == kReflectedNotify;
}

}  // namespace

const MsgMapEntry* FindEntry(const MessageMap* pMap, UINT nMessage, UINT nCode, UINT nId) {
  for (; pMap != nullptr; pMap = pMap->pBase) {
    for (const MsgMapEntry& e : pMap->entries) {
      if (e.nMessage != nMessage) continue;
      if (CarriesCodeAndId(nMessage) && (e.nCode != nCode || e.nId != nId)) continue;
      if (IsReflected(nMessage) && e.nCode != nCode) continue;
      return &e;
    }
  }
  return nullptr;
}

}  // namespace qm::fw
