#include "tests/framework/test_dialog.h"

namespace qm::test {

namespace {

constexpr fw::MsgMapEntry kTreeEntries[] = {
    fw::OnReflectedNotify<&CRecordingTree::OnDblclk>(NM_DBLCLK),
    fw::OnReflectedNotify<&CRecordingTree::OnReturn>(NM_RETURN),
};

constexpr fw::MsgMapEntry kEditEntries[] = {
    fw::OnMessage<&CRecordingEdit::OnChar>(WM_CHAR),
};

constexpr fw::MsgMapEntry kDialogEntries[] = {
    fw::OnCommand<&CTestDlg::OnButton>(BN_CLICKED, IDC_TEST_BUTTON),
    fw::OnCommand<&CTestDlg::OnEditChange>(EN_CHANGE, IDC_TEST_EDIT),
    fw::OnMessage<&CTestDlg::OnPrivate>(kPrivateMessage),
    fw::OnNotify<&CTestDlg::OnTreeDblclk>(NM_DBLCLK, IDC_TEST_TREE),
    fw::OnNotify<&CTestDlg::OnTreeReturn>(NM_RETURN, IDC_TEST_TREE),
    fw::OnMessageResult<&CTestDlg::OnQueryDragIcon>(WM_QUERYDRAGICON),
    fw::OnMessageResult<&CTestDlg::OnCtlColorStatic>(WM_CTLCOLORSTATIC),
    fw::OnSysCommand<&CTestDlg::OnSysCommand>(),
};

}  // namespace

const fw::MessageMap CRecordingTree::kMessageMap{&fw::CTreeCtrl::kMessageMap, kTreeEntries};
const fw::MessageMap CRecordingEdit::kMessageMap{&fw::CEdit::kMessageMap, kEditEntries};
const fw::MessageMap CTestDlg::kMessageMap{&fw::CDialog::kMessageMap, kDialogEntries};

}  // namespace qm::test
