#pragma once
// Owners for the Win32 handle kinds used across the program. Every close keeps the
// thread's last-error value, so an error text taken after a scope ends is still the error
// of the call that failed.
#include <windows.h>
// After <windows.h>, which it relies on.
#include <commctrl.h>

#include "common/unique_any.h"

namespace qm {

class LastErrorGuard {
 public:
  LastErrorGuard() : m_dwError(::GetLastError()) {}
  ~LastErrorGuard() { ::SetLastError(m_dwError); }
  LastErrorGuard(const LastErrorGuard&) = delete;
  LastErrorGuard& operator=(const LastErrorGuard&) = delete;

 private:
  DWORD m_dwError;
};

struct ScHandleTraits {
  using type = SC_HANDLE;
  static type invalid() { return nullptr; }
  void close(type h) const {
    LastErrorGuard keep;
    ::CloseServiceHandle(h);
  }
};
struct RegKeyTraits {
  using type = HKEY;
  static type invalid() { return nullptr; }
  void close(type h) const {
    LastErrorGuard keep;
    ::RegCloseKey(h);
  }
};
struct KernelHandleTraits {  // processes, threads, jobs, events, files: null when absent
  using type = HANDLE;
  static type invalid() { return nullptr; }
  void close(type h) const {
    LastErrorGuard keep;
    ::CloseHandle(h);
  }
};
struct FileHandleTraits {  // CreateFile results: INVALID_HANDLE_VALUE when absent
  using type = HANDLE;
  static type invalid() { return INVALID_HANDLE_VALUE; }
  void close(type h) const {
    LastErrorGuard keep;
    ::CloseHandle(h);
  }
};
struct FindHandleTraits {
  using type = HANDLE;
  static type invalid() { return INVALID_HANDLE_VALUE; }
  void close(type h) const {
    LastErrorGuard keep;
    ::FindClose(h);
  }
};
struct GdiObjectTraits {
  using type = HGDIOBJ;
  static type invalid() { return nullptr; }
  void close(type h) const {
    LastErrorGuard keep;
    ::DeleteObject(h);
  }
};
struct LocalMemTraits {
  using type = HLOCAL;
  static type invalid() { return nullptr; }
  void close(type h) const {
    LastErrorGuard keep;
    ::LocalFree(h);
  }
};
struct MappedViewTraits {  // MapViewOfFile results
  using type = void*;
  static type invalid() { return nullptr; }
  void close(type p) const {
    LastErrorGuard keep;
    ::UnmapViewOfFile(p);
  }
};
struct EventSourceTraits {  // RegisterEventSource results
  using type = HANDLE;
  static type invalid() { return nullptr; }
  void close(type h) const {
    LastErrorGuard keep;
    ::DeregisterEventSource(h);
  }
};
struct EnvironmentStringsTraits {  // GetEnvironmentStrings results
  using type = char*;
  static type invalid() { return nullptr; }
  void close(type p) const {
    LastErrorGuard keep;
    ::FreeEnvironmentStringsA(p);
  }
};
struct ImageListTraits {
  using type = HIMAGELIST;
  static type invalid() { return nullptr; }
  void close(type h) const {
    LastErrorGuard keep;
    ::ImageList_Destroy(h);
  }
};

using unique_schandle = unique_any<ScHandleTraits>;
using unique_hkey = unique_any<RegKeyTraits>;
using unique_handle = unique_any<KernelHandleTraits>;
using unique_hfile = unique_any<FileHandleTraits>;
using unique_hfind = unique_any<FindHandleTraits>;
using unique_gdiobj = unique_any<GdiObjectTraits>;
using unique_hlocal = unique_any<LocalMemTraits>;
using unique_himagelist = unique_any<ImageListTraits>;
using unique_mapped_view = unique_any<MappedViewTraits>;
using unique_event_source = unique_any<EventSourceTraits>;
using unique_environment_strings = unique_any<EnvironmentStringsTraits>;

}  // namespace qm
