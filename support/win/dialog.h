// A dialog made from a dialog resource, modal or modeless, with virtual handlers for the messages
// the programs use. The object is bound to its window at WM_INITDIALOG and unbound when the
// window is gone; exceptions never leave the dialog procedure.
//
//   class CMyDlg : public win::CDialog {
//    public:
//     CMyDlg() : CDialog(IDD_MY) {}
//     int speed = 1;                       // in/out field
//    protected:
//     bool OnInitDialog() override { SetListIndex(IDC_SPEED, speed); return true; }
//     void OnOK() override { speed = GetListIndex(IDC_SPEED); CDialog::OnOK(); }
//   };
//   CMyDlg dlg; if (dlg.DoModal(owner) == IDOK) ... dlg.speed ...
//
// A modeless dialog can also run a loop of its own: Create(), then RunModalLoop(), which returns
// when EndModalLoop() (or EndDialog(), so OK, Cancel and WM_CLOSE) is called or the window is
// destroyed.
#pragma once

#include <windows.h>

#include <string>

namespace win {

class CDialog {
 public:
  // templateId: the dialog resource; instance: the module holding it (null: the program file).
  explicit CDialog(UINT templateId, HINSTANCE instance = nullptr);
  virtual ~CDialog();
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Runs the dialog modally. Returns the value given to EndDialog, or -1 when the dialog could
  // not be made (missing resource, OnInitDialog threw).
  INT_PTR DoModal(HWND owner = nullptr);

  // Makes the dialog modeless (visible only when the resource says WS_VISIBLE). False when it
  // could not be made or already exists.
  bool Create(HWND owner = nullptr);
  // Runs the thread's messages until EndModalLoop, returning its result; -1 at once when the
  // window does not exist, and -1 when the window is destroyed first. A WM_QUIT ends the loop and
  // is posted again so that an outer loop sees it too.
  int RunModalLoop();
  void EndModalLoop(int result);
  bool IsLoopRunning() const { return loopRunning; }

  // Modal: ends the dialog. Modeless: ends a running modal loop, else destroys the window.
  void EndDialog(int result);
  // Destroys a modeless dialog's window (nothing for a modal one, which EndDialog ends).
  void DestroyWindow();

  HWND GetHwnd() const { return hwnd; }
  HWND GetItem(int id) const { return hwnd ? ::GetDlgItem(hwnd, id) : nullptr; }
  bool IsModal() const { return modal; }
  // The module that holds the dialog's resources.
  HINSTANCE GetInstance() const { return instance; }

  // Control helpers. Every getter leaves its output unchanged (or returns the stated failure
  // value) when the control is missing.
  std::string GetItemText(int id) const;  // empty when the control is missing
  bool SetItemText(int id, const char* text);
  bool SetItemText(int id, const std::string& text) { return SetItemText(id, text.c_str()); }
  // Reads a decimal integer (blanks around it allowed, optional sign). False, with value
  // unchanged, for empty or malformed text or a number out of int range.
  bool GetItemInt(int id, int& value) const;
  bool SetItemInt(int id, int value);
  // Check boxes.
  bool IsChecked(int id) const;
  void SetCheck(int id, bool checked);
  // The radio buttons of a group start at firstId and follow it in the dialog's order up to the
  // next control that starts a group (WS_GROUP) or is not a radio button. GetRadioIndex gives
  // the zero-based index of the checked button or -1; SetRadioIndex checks the button at index
  // and clears the others (an index outside the group clears all).
  int GetRadioIndex(int firstId) const;
  void SetRadioIndex(int firstId, int index);
  // Combo boxes and list boxes: the selected index or -1; select index (-1 clears). False when
  // the control is missing, not a list, or index is outside the list.
  int GetListIndex(int id) const;
  bool SetListIndex(int id, int index);
  // Appends an entry; returns its index or -1.
  int AddListString(int id, const char* text);

 protected:
  // Handlers. The defaults: OnInitDialog returns true (the system sets the focus); OnCommand
  // sends IDOK to OnOK and IDCANCEL to OnCancel; OnOK and OnCancel end the dialog with IDOK and
  // IDCANCEL; OnClose (WM_CLOSE) calls OnCancel.
  virtual bool OnInitDialog() { return true; }
  // Returns true when the command was handled.
  virtual bool OnCommand(int id, int code, HWND control);
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  virtual void OnClose() { OnCancel(); }
  virtual void OnTimer(UINT_PTR /*timerId*/) {}
  // WM_COPYDATA: returns the result the sender gets (true: taken).
  virtual bool OnCopyData(HWND /*from*/, const COPYDATASTRUCT* /*data*/) { return false; }
  // Called while the window is being destroyed (WM_DESTROY); the controls still exist.
  virtual void OnDestroy() {}
  // Any other message: return true with result set to handle it. Called first for every message
  // after WM_INITDIALOG, so a subclass can take over one of the above as well.
  virtual bool OnMessage(UINT /*msg*/, WPARAM /*wParam*/, LPARAM /*lParam*/, LRESULT& /*result*/) {
    return false;
  }

 private:
  static INT_PTR CALLBACK DialogProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
  INT_PTR Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);

  UINT templateId;
  HINSTANCE instance;
  HWND hwnd = nullptr;
  bool modal = false;
  bool loopRunning = false;
  int loopResult = -1;
};

}  // namespace win
