#pragma once
// Static message maps: one constexpr table per window class, each naming the table of its
// base class. An entry routes (message, notification code, control id) to a member handler
// of one of a few fixed signatures. CWnd::OnWndMsg is the only reader of these tables.
//
//   constexpr qm::fw::MsgMapEntry kEntries[] = {
//       qm::fw::OnCommand<&CMyDlg::OnInstall>(BN_CLICKED, IDC_INSTALL),
//       qm::fw::OnMessage<&CMyDlg::OnPaint>(WM_PAINT),
//   };
//   const qm::fw::MessageMap CMyDlg::kMessageMap{&CDialog::kMessageMap, kEntries};

#include <windows.h>

#include <span>

namespace qm::fw {

class CWnd;

// Reflected messages: a parent offers a child's WM_COMMAND / WM_NOTIFY back to the child's own
// map under this offset (the same numbering the system's control containers use).
constexpr UINT kReflectBase = WM_USER + 0x1C00;
constexpr UINT kReflectedCommand = kReflectBase + WM_COMMAND;
constexpr UINT kReflectedNotify = kReflectBase + WM_NOTIFY;

enum class Sig : unsigned char {
  kVoid,        // void()
  kSysCommand,  // void(UINT nId, LPARAM lParam)
  kLResult,     // LRESULT(), the handler's value is the message result
  kNotify,      // void(NMHDR*, LRESULT*)
};

using PfnVoid = void (CWnd::*)();
using PfnSysCommand = void (CWnd::*)(UINT, LPARAM);
using PfnLResult = LRESULT (CWnd::*)();
using PfnNotify = void (CWnd::*)(NMHDR*, LRESULT*);

struct MsgMapEntry {
  UINT nMessage = 0;
  UINT nCode = 0;  // WM_COMMAND / WM_NOTIFY (and reflected) only
  UINT nId = 0;    // WM_COMMAND / WM_NOTIFY only; reflected entries match any id
  Sig sig = Sig::kVoid;
  PfnVoid pfnVoid = nullptr;
  PfnSysCommand pfnSysCommand = nullptr;
  PfnLResult pfnLResult = nullptr;
  PfnNotify pfnNotify = nullptr;
};

struct MessageMap {
  const MessageMap* pBase;  // null for CWnd's own map
  std::span<const MsgMapEntry> entries;
};

// Handlers are template arguments: the conversion of a member pointer to CWnd's is then a
// constant expression (GCC rejects it on a function parameter), and a handler of the wrong
// signature does not compile.

// A plain message (WM_PAINT, WM_TIMER...) to a void() handler.
template <auto Pfn>
constexpr MsgMapEntry OnMessage(UINT nMessage) {
  MsgMapEntry e{nMessage};
  e.pfnVoid = static_cast<PfnVoid>(Pfn);
  return e;
}

// A plain message whose result is the handler's value (WM_QUERYDRAGICON...).
template <auto Pfn>
constexpr MsgMapEntry OnMessageResult(UINT nMessage) {
  MsgMapEntry e{nMessage, 0, 0, Sig::kLResult};
  e.pfnLResult = static_cast<PfnLResult>(Pfn);
  return e;
}

template <auto Pfn>
constexpr MsgMapEntry OnSysCommand() {
  MsgMapEntry e{WM_SYSCOMMAND, 0, 0, Sig::kSysCommand};
  e.pfnSysCommand = static_cast<PfnSysCommand>(Pfn);
  return e;
}

// WM_COMMAND with the given notification code (BN_CLICKED, EN_CHANGE...) from control nId.
template <auto Pfn>
constexpr MsgMapEntry OnCommand(UINT nCode, UINT nId) {
  MsgMapEntry e{WM_COMMAND, nCode, nId};
  e.pfnVoid = static_cast<PfnVoid>(Pfn);
  return e;
}

// WM_NOTIFY with the given code from control nId; the handler sets the result.
template <auto Pfn>
constexpr MsgMapEntry OnNotify(UINT nCode, UINT nId) {
  MsgMapEntry e{WM_NOTIFY, nCode, nId, Sig::kNotify};
  e.pfnNotify = static_cast<PfnNotify>(Pfn);
  return e;
}

// A control's own notification, reflected back to it by its parent.
template <auto Pfn>
constexpr MsgMapEntry OnReflectedNotify(UINT nCode) {
  MsgMapEntry e{kReflectedNotify, nCode, 0, Sig::kNotify};
  e.pfnNotify = static_cast<PfnNotify>(Pfn);
  return e;
}

template <auto Pfn>
constexpr MsgMapEntry OnReflectedCommand(UINT nCode) {
  MsgMapEntry e{kReflectedCommand, nCode, 0};
  e.pfnVoid = static_cast<PfnVoid>(Pfn);
  return e;
}

// The dialog procedure returns these messages' results directly instead of through
// DWLP_MSGRESULT (documented exceptions of the dialog manager).
constexpr bool ReturnsResultDirectly(UINT nMessage) {
  switch (nMessage) {
    case WM_CHARTOITEM:
    case WM_COMPAREITEM:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_VKEYTOITEM:
      return true;
    default:
      return false;
  }
}

// The first entry of the map chain (most derived first) that matches, or null.
const MsgMapEntry* FindEntry(const MessageMap* pMap, UINT nMessage, UINT nCode, UINT nId);

}  // namespace qm::fw
