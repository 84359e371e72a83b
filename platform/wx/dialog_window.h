// The window of a CDialog on screen: a wxDialog built from the dialog's
// template, whose events reach the dialog through its message map.
#ifndef VEILMARK_PLATFORM_WX_DIALOG_WINDOW_H_
#define VEILMARK_PLATFORM_WX_DIALOG_WINDOW_H_

#include <wx/dialog.h>
#include <wx/icon.h>

#include <map>
#include <memory>
#include <vector>

#include "platform/framework/cdialog.h"
#include "platform/framework/resources.h"
#include "platform/wx/text_box.h"

class DialogWindow : public wxDialog, public DialogControls {
 public:
  DialogWindow(CDialog* dialog, const DialogTemplate& dialog_template,
               wxWindow* parent);
  ~DialogWindow() override;

  // Shows the window modally; the result the dialog ended with.
  int RunModal();

  TextBox* Box(int id);

  // The clock the drawing's frames are measured by, in ms; tests set their
  // own.
  static long long (*clock)();

  // DialogControls
  void ExchangeText(int id, CString& value, bool save) override;
  void ExchangeCheck(int id, int& value, bool save) override;
  void AppendText(int id, const CString& text) override;
  void EndExchange(bool save) override;
  void SetTitle(const CString& text) override;
  void SetItemText(int id, const CString& text) override;
  void EnableItem(int id, bool enable) override;
  void Finish(int result) override;
  LRESULT SendMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool IsIconic() const override;
  RECT ClientRect() const override;
  std::unique_ptr<PaintDevice> BeginPaint() override;

 private:
  void AddControl(const DialogItemTemplate& item);
  // Runs the dialog's handler of the message, also while another handler
  // runs and lets the user's input through.
  bool Dispatch(UINT message, UINT id);
  // Puts what the boxes gained into their controls and lets the window
  // system draw it, taking no user input: at once, unless the last drawing
  // is less than a frame old (then the next line, or the end of the
  // handler, brings it).
  void ShowChanges(bool at_once);

  void OnInitDialogEvent(wxInitDialogEvent& event);
  void OnButton(wxCommandEvent& event);
  void OnClose(wxCloseEvent& event);
  void OnCharHook(wxKeyEvent& event);
  void OnPaintEvent(wxPaintEvent& event);

  CDialog* dialog_;
  std::map<int, std::unique_ptr<TextBox>> boxes_;
  std::vector<TextBox*> changedBoxes_;  // not yet drawn
  long long lastDrawn_ = 0;             // ms, by clock()
  int handlerDepth_ = 0;
  HICON icons_[2] = {nullptr, nullptr};  // ICON_SMALL, ICON_BIG

  wxDECLARE_EVENT_TABLE();
};

#endif  // VEILMARK_PLATFORM_WX_DIALOG_WINDOW_H_
