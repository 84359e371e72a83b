// The main dialog on screen, driven as its user drives it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>

#include "app/veilmark_app.h"
#include "platform/framework/display_text.h"
#include "platform/framework/resources.h"
#include "platform/framework/window_system.h"
#include "platform/wx/dialog_window.h"
#include "tests/faults.h"
#include "tests/gui/dialog_probe.h"
#include "tests/test_folder.h"
#include "tests/test_system.h"
#include "ui/veilmark_dlg.h"

namespace {

// What the boxes show for `bytes`, in UTF-8.
std::string Shown(const std::string& bytes) {
  return BytesAfterEdit("", DecodeForDisplay(bytes));
}

// The window system, with the folder chooser answered by the test.
class AnsweredChooser : public WindowSystem {
 public:
  AnsweredChooser() : toolkit_(SetWindowSystem(this)) {}
  ~AnsweredChooser() override { SetWindowSystem(toolkit_); }
  INT_PTR RunModalDialog(CDialog* dialog,
                         const DialogTemplate& dialog_template) override {
    return toolkit_->RunModalDialog(dialog, dialog_template);
  }
  bool ChooseFolder(HWND owner, const std::string& title,
                    std::string* path) override {
    owners.push_back(owner);
    titles.push_back(title);
    if (answer) *path = *answer;
    return answer != nullptr;
  }
  int GetSystemMetrics(int index) const override {
    return toolkit_->GetSystemMetrics(index);
  }
  void PumpWaitingMessages() override { toolkit_->PumpWaitingMessages(); }

  const std::string* answer = nullptr;
  std::vector<HWND> owners;
  std::vector<std::string> titles;

 private:
  WindowSystem* toolkit_;
};

// The dialog, with a look at the boxes whenever the fields are about to be
// shown again: what the previous exchange left on screen.
class WatchedDlg : public CVeilmarkDlg {
 public:
  std::function<void()> beforeShow;
  int cancels = 0;

  void OnCancel() override {
    ++cancels;
    CVeilmarkDlg::OnCancel();
  }

 protected:
  void DoDataExchange(CDataExchange* pDX) override {
    if (!pDX->m_bSaveAndValidate && beforeShow) beforeShow();
    CVeilmarkDlg::DoDataExchange(pDX);
  }
};

// The clock the dialog's drawing goes by, moved by the test.
long long now = 0;

}  // namespace

TEST(DialogWindow, ExitEscapeTheCloseBoxAndEnter) {
  EXPECT_EQ(AfxGetApp(), &theApp);  // the program's object, found at start
  CVeilmarkDlg dlg;
  EXPECT_EQ(DialogProbe::Run(&dlg,
                             [](DialogProbe& probe) {
                               EXPECT_EQ(probe.Title(), "Veilmark");
                               EXPECT_FALSE(probe.Resizable());
                               EXPECT_EQ(probe.IconWidths(),
                                         std::vector<int>{32});
                               EXPECT_EQ(probe.FocusedId(), IDOK);
                               probe.Click(IDOK);
                               EXPECT_FALSE(probe.IsOpen());
                             }),
            IDOK);
  EXPECT_NE(dlg.m_hIcon, nullptr);
  // The desktop's icon, written at build time, is the window's (Windows
  // has no desktop icon theme: its icon is in the executable).
  if (*VEILMARK_ICON_PNG) {
    std::vector<std::uint8_t> png = DialogProbe::PngPixels(VEILMARK_ICON_PNG);
    EXPECT_EQ(png, IconRgba(*IconFromHandle(dlg.m_hIcon)));
  }
  EXPECT_EQ(DialogProbe::Run(
                &dlg, [](DialogProbe& probe) { probe.PressEscape(IDC_LOG); }),
            IDCANCEL);
  EXPECT_EQ(
      DialogProbe::Run(&dlg, [](DialogProbe& probe) { probe.CloseBox(); }),
      IDCANCEL);
  // Enter in the folder box presses "Anonymize".
  DialogProbe::Run(&dlg, [](DialogProbe& probe) {
    probe.Type(IDC_FOLDER, "x");
    probe.PressEnter(IDC_FOLDER, [&] { return !probe.Text(IDC_LOG).empty(); });
    EXPECT_TRUE(probe.IsOpen());
    EXPECT_EQ(probe.Text(IDC_LOG), "ERROR:No folder selected.\r\n");
  });
  // Opened again, it shows its fields as they were left.
  DialogProbe::Run(&dlg, [](DialogProbe& probe) {
    EXPECT_EQ(probe.Text(IDC_FOLDER), "x");
    EXPECT_EQ(probe.Text(IDC_LOG), "ERROR:No folder selected.\r\n");
  });
}

// During a run the button reads "Stop" and the title counts the files;
// Stop ends the run early, Exit, Escape and the close box too and then
// close the dialog.
TEST(DialogWindow, StopExitEscapeAndTheCloseBoxEndARunEarly) {
  ScratchFolder folder;
  for (int i = 0; i < 40; ++i) {
    folder.Write("IM" + std::to_string(100 + i) + ".ima",
                 Patient("DOE^JOHN", "20070801", 64 * 1024));
  }
  const struct {
    const char* how;
    INT_PTR result;  // 0: stays open
  } ways[] = {
      {"stop", 0}, {"exit", IDOK}, {"escape", IDCANCEL}, {"close", IDCANCEL}};
  for (const auto& way : ways) {
    SCOPED_TRACE(way.how);
    ScratchFolder copy;
    for (const std::string& name : folder.Names()) {
      std::filesystem::copy_file(folder / name, copy / name);
    }
    WatchedDlg dlg;
    std::string title, label;
    int lines = 0;
    bool acted = false;
    // The workers wait at their tenth file until the user has acted.
    faults::Scope held;
    held.HoldFrom(faults::Op::kCreateTemp, 10);
    const INT_PTR result = DialogProbe::Run(&dlg, [&](DialogProbe& probe) {
      dlg.beforeShow = [&] {
        if (acted || ++lines < 3) return;
        acted = true;
        title = probe.Title();
        label = probe.Label(IDC_ANONYMIZE);
        EXPECT_FALSE(probe.Enabled(IDC_FOLDER) ||
                     probe.Enabled(IDC_SELECT_FOLDER));
        const std::string how = way.how;
        if (how == "stop") probe.Click(IDC_ANONYMIZE);
        if (how == "exit") probe.Click(IDOK);
        if (how == "escape") {
          probe.PressEscape(IDC_LOG, [&] { return dlg.cancels > 0; });
        }
        if (how == "close") probe.CloseBox();
        held.Release();
      };
      probe.Type(IDC_FOLDER, copy.path());
      probe.Click(IDC_ANONYMIZE);
      EXPECT_EQ(probe.IsOpen(), way.result == 0);
      if (probe.IsOpen()) {
        EXPECT_EQ(probe.Label(IDC_ANONYMIZE), "Anonymize");
        EXPECT_EQ(probe.Title(), "Veilmark");
        EXPECT_TRUE(probe.Enabled(IDC_FOLDER) &&
                    probe.Enabled(IDC_SELECT_FOLDER));
      }
    });
    EXPECT_EQ(result, way.result == 0 ? IDCANCEL : way.result);
    EXPECT_EQ(label, "Stop");
    EXPECT_PRED_FORMAT2(testing::IsSubstring, "Veilmark - ", title);
    EXPECT_PRED_FORMAT2(testing::IsSubstring, " of 40", title);
    const std::string log = dlg.m_log.str();
    const size_t stopped = log.find("Stopped: ");
    ASSERT_NE(stopped, std::string::npos) << log;
    int notTakenUp = -1, modified = -1;
    EXPECT_EQ(std::sscanf(log.c_str() + stopped,
                          "Stopped: %d file(s) not taken up.\r\nDone. %d "
                          "file(s) modified.\r\n",
                          &notTakenUp, &modified),
              2);
    EXPECT_GT(notTakenUp, 0);
    EXPECT_EQ(notTakenUp + modified, 40);
  }
}

TEST(DialogWindow, FolderPickerAnswerReplacesTheTypedText) {
  AnsweredChooser chooser;
  const std::string chosen = "/data/study \xE9t\xC3\xA9";
  CVeilmarkDlg dlg;
  DialogProbe::Run(&dlg, [&](DialogProbe& probe) {
    probe.Type(IDC_FOLDER, "/typed/by/hand");
    probe.Click(IDC_SELECT_FOLDER);
    EXPECT_EQ(probe.Text(IDC_FOLDER), "");  // cancelled
    probe.Type(IDC_FOLDER, "/typed/again");
    chooser.answer = &chosen;
    probe.Click(IDC_SELECT_FOLDER);
    EXPECT_EQ(probe.Text(IDC_FOLDER), Shown(chosen));
    probe.Click(IDOK);
  });
  EXPECT_EQ(dlg.m_folder.str(), chosen);
  EXPECT_EQ(chooser.titles,
            (std::vector<std::string>{"Select a DICOM folder...",
                                      "Select a DICOM folder..."}));
  ASSERT_EQ(chooser.owners.size(), 2u);
  EXPECT_NE(chooser.owners[0], nullptr);

  // A folder whose path is longer than Windows allows comes back whole.
  ScratchFolder scratch;
  std::string deep = scratch.path();
  while (deep.size() < 300) {
    deep += "/" + std::string(60, 'd');
    ASSERT_TRUE(std::filesystem::create_directory(deep));
  }
  std::string error;
  ASSERT_TRUE(WriteFixture(deep + "/IM1.ima", Fixture(), &error));
  chooser.answer = &deep;
  DialogProbe::Run(&dlg, [&](DialogProbe& probe) {
    probe.Click(IDC_SELECT_FOLDER);
    EXPECT_EQ(probe.Text(IDC_FOLDER), deep);
    probe.Click(IDC_ANONYMIZE);
  });
  EXPECT_EQ(dlg.m_log.str(),
            "Anonymizing file: IM1.ima\r\nDone. 1 file(s) modified.\r\n");
}

TEST(DialogWindow, RunsShowTheirLinesLiveAndKeepEarlierRuns) {
  ScratchFolder folder, second;
  for (int i = 0; i < 30; ++i) {
    folder.Write("IM" + std::to_string(100 + i) + ".ima",
                 Patient(i % 2 ? "DOE^JOHN" : "SMITH^ANN",
                         "200708" + std::to_string(10 + i % 18)));
  }
  for (const char* name : {"A.ima", "B.ima", "C.ima"}) {
    second.Write(name, Patient("ROE^JANE", "20070901"));
  }
  WatchedDlg dlg;
  std::string firstRun, previous;
  bool slow = false;
  const auto realClock = DialogWindow::clock;
  DialogWindow::clock = [] { return now; };
  int notPrefix = 0, drawn = 0;
  DialogProbe::Run(&dlg, [&](DialogProbe& probe) {
    dlg.beforeShow = [&] {
      // The box never shows but the start of the log; a line that comes a
      // frame or more after the last drawing is drawn at once.
      const std::string box = probe.Text(IDC_LOG), log = Shown(previous);
      notPrefix += log.compare(0, box.size(), box) != 0;
      drawn += slow && box == log && probe.ShowsEnd(IDC_LOG);
      previous = dlg.m_log.str();
      if (slow) now += 200;  // ms: each line comes two frames after the last
    };
    probe.Type(IDC_FOLDER, folder.path());
    probe.Click(IDC_ANONYMIZE);
    firstRun = probe.Text(IDC_LOG);
    EXPECT_TRUE(probe.ShowsEnd(IDC_LOG));

    // The user scrolls back; the next run brings the end into view again.
    probe.ScrollToStart(IDC_LOG);
    EXPECT_FALSE(probe.ShowsEnd(IDC_LOG));
    previous = dlg.m_log.str();
    slow = true;
    probe.Type(IDC_FOLDER, second.path());
    probe.Click(IDC_ANONYMIZE);
    EXPECT_EQ(probe.Text(IDC_LOG), Shown(dlg.m_log.str()));
    EXPECT_TRUE(probe.ShowsEnd(IDC_LOG));
  });
  DialogWindow::clock = realClock;
  EXPECT_EQ(notPrefix, 0);
  // Each line of the second run but its last; the last too where the box
  // shows its end again at once.
  EXPECT_GE(drawn, 3);
  std::string expected;
  for (int i = 0; i < 30; ++i) {
    expected += "Anonymizing file: IM" + std::to_string(100 + i) + ".ima\r\n";
  }
  expected += "Done. 30 file(s) modified.\r\n";
  EXPECT_EQ(firstRun, expected);
  EXPECT_EQ(dlg.m_log.str(), expected +
                                 "Anonymizing file: A.ima\r\n"
                                 "Anonymizing file: B.ima\r\n"
                                 "Anonymizing file: C.ima\r\n"
                                 "Done. 3 file(s) modified.\r\n");
}

// The box under the folder box is off when the dialog opens; checked, the
// run takes the DICOM Basic Profile, and says so first.
TEST(DialogWindow, TheProfileBoxRunsTheBasicProfile) {
  ScratchFolder folder;
  folder.Write("IM1.ima", Patient("DOE^JOHN", "20070801"));
  CVeilmarkDlg dlg;
  DialogProbe::Run(&dlg, [&](DialogProbe& probe) {
    EXPECT_FALSE(probe.Checked(IDC_PROFILE));
    probe.Type(IDC_FOLDER, folder.path());
    probe.Click(IDC_PROFILE);
    probe.Click(IDC_ANONYMIZE);
    EXPECT_TRUE(probe.Checked(IDC_PROFILE));
  });
  EXPECT_EQ(dlg.m_log.str().substr(0, 58),
            "Anonymizing with the DICOM Basic Profile, without options.");
  const Rows rows = ReadRecord(folder);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][3].size(), 16u);  // "ANON" and twelve letters and digits
}
