#pragma once
// A dialog over the tests' own template that records, in order, every handler the framework
// routes to it and to its bound controls. Tests act from OnInit (the window exists, the
// modal loop has not started) and read the log after the run.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/controls.h"
#include "framework/dialog.h"
#include "tests/framework/test_ids.h"

namespace qm::test {

constexpr UINT kPrivateMessage = WM_APP + 7;

class CLog {
 public:
  void Add(std::string strEntry) { m_entries.push_back(std::move(strEntry)); }
  std::vector<std::string> m_entries;
};

// A tree bound to the dialog: takes its own double-click back by reflection.
class CRecordingTree : public fw::CTreeCtrl {
 public:
  void OnDblclk(NMHDR* /*pHdr*/, LRESULT* pResult) {
    if (m_pLog != nullptr) m_pLog->Add("tree NM_DBLCLK");
    *pResult = 1;
  }
  void OnReturn(NMHDR* /*pHdr*/, LRESULT* /*pResult*/) {
    // Declines: the parent is to handle NM_RETURN itself.
    if (m_pLog != nullptr) m_pLog->Add("tree NM_RETURN declined");
    Default();
  }
  CLog* m_pLog = nullptr;
  static const fw::MessageMap kMessageMap;
  const fw::MessageMap* GetMessageMap() const override { return &kMessageMap; }
};

// An edit bound to the dialog: sees typed characters before the edit control does.
class CRecordingEdit : public fw::CEdit {
 public:
  void OnChar() {
    if (m_pLog != nullptr) m_pLog->Add("edit WM_CHAR");
    Default();  // the original edit procedure inserts the character
  }
  CLog* m_pLog = nullptr;
  static const fw::MessageMap kMessageMap;
  const fw::MessageMap* GetMessageMap() const override { return &kMessageMap; }
};

class CTestDlg : public fw::CDialog {
 public:
  explicit CTestDlg(CWnd* pParent = nullptr, UINT nTemplate = IDD_TEST_DIALOG)
      : CDialog(nTemplate, pParent) {
    m_tree.m_pLog = &m_log;
    m_edit.m_pLog = &m_log;
  }

  BOOL OnInitDialog() override {
    BOOL bResult = CDialog::OnInitDialog();
    if (m_onInit) m_onInit(*this);
    return bResult;
  }
  void DoDataExchange(fw::CDataExchange* pDX) override {
    m_log.Add(pDX->m_bSaveAndValidate ? "ddx save" : "ddx load");
    if (!m_bBindControls) return;
    fw::DDX_Control(pDX, IDC_TEST_TREE, m_tree);
    fw::DDX_Control(pDX, IDC_TEST_EDIT, m_edit);
  }
  BOOL PreTranslateMessage(MSG* pMsg) override {
    if (pMsg->message == kPrivateMessage) {
      m_log.Add(pMsg->hwnd == nullptr ? "prefilter thread message" : "prefilter private");
      return TRUE;
    }
    return CDialog::PreTranslateMessage(pMsg);
  }

  void OnButton() {
    m_log.Add("button clicked");
    if (m_onButton) m_onButton(*this);
  }
  void OnEditChange() { m_log.Add("edit EN_CHANGE"); }
  void OnPrivate() { m_log.Add("window private"); }
  void OnTreeDblclk(NMHDR*, LRESULT* pResult) {
    m_log.Add("dialog NM_DBLCLK");
    *pResult = 9;
  }
  void OnTreeReturn(NMHDR*, LRESULT* pResult) {
    m_log.Add("dialog NM_RETURN");
    *pResult = 77;
  }
  LRESULT OnQueryDragIcon() { return 0x1234; }
  LRESULT OnCtlColorStatic() { return reinterpret_cast<LRESULT>(::GetStockObject(GRAY_BRUSH)); }
  void OnSysCommand(UINT nId, LPARAM) {
    if ((nId & 0xFFF0) == 0x0020) {
      m_log.Add("syscommand own");
      return;
    }
    m_log.Add("syscommand default");
    Default();
  }

  static const fw::MessageMap kMessageMap;
  const fw::MessageMap* GetMessageMap() const override { return &kMessageMap; }

  CLog m_log;
  bool m_bBindControls = true;
  std::function<void(CTestDlg&)> m_onInit;
  std::function<void(CTestDlg&)> m_onButton;
  CRecordingTree m_tree;
  CRecordingEdit m_edit;
};

// Sends the dialog a WM_NOTIFY as if the tree had sent it.
inline LRESULT SendTreeNotify(CTestDlg& dlg, UINT nCode) {
  NMHDR hdr{dlg.GetDlgItem(IDC_TEST_TREE), IDC_TEST_TREE, nCode};
  return dlg.SendMsg(WM_NOTIFY, IDC_TEST_TREE, reinterpret_cast<LPARAM>(&hdr));
}

}  // namespace qm::test
