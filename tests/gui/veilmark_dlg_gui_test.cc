// The main dialog on screen, driven as its user drives it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>

#include "ui/veilmark_dlg.h"
#include "app/veilmark_app.h"
#include "platform/display_text.h"
#include "platform/resources.h"
#include "platform/window_system.h"
#include "tests/gui/dialog_probe.h"
#include "tests/test_folder.h"

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

 protected:
  void DoDataExchange(CDataExchange* pDX) override {
    if (!pDX->m_bSaveAndValidate && beforeShow) beforeShow();
    CVeilmarkDlg::DoDataExchange(pDX);
  }
};

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
  // The desktop's icon, written at build time, is the window's.
  std::vector<std::uint8_t> png = DialogProbe::PngPixels(VEILMARK_ICON_PNG);
  EXPECT_EQ(png, IconRgba(*IconFromHandle(dlg.m_hIcon)));
  EXPECT_EQ(DialogProbe::Run(
                &dlg, [](DialogProbe& probe) { probe.PressEscape(IDC_LOG); }),
            IDCANCEL);
  EXPECT_EQ(
      DialogProbe::Run(&dlg, [](DialogProbe& probe) { probe.CloseBox(); }),
      IDCANCEL);
  // Enter in the folder box presses "Anonymize".
  DialogProbe::Run(&dlg, [](DialogProbe& probe) {
    probe.Type(IDC_FOLDER, "x");
    probe.PressEnter(IDC_FOLDER);
    EXPECT_TRUE(probe.IsOpen());
    EXPECT_EQ(probe.Text(IDC_LOG), "ERROR:No folder selected.\r\n");
  });
  // Opened again, it shows its fields as they were left.
  DialogProbe::Run(&dlg, [](DialogProbe& probe) {
    EXPECT_EQ(probe.Text(IDC_FOLDER), "x");
    EXPECT_EQ(probe.Text(IDC_LOG), "ERROR:No folder selected.\r\n");
  });
  // A close asked for during a run closes the dialog once the run ends.
  ScratchFolder folder;
  folder.Write("IM1.ima", Patient("DOE^JOHN", "20070801"));
  WatchedDlg watched;
  EXPECT_EQ(DialogProbe::Run(&watched,
                             [&](DialogProbe& probe) {
                               watched.beforeShow = [&] {
                                 watched.beforeShow = nullptr;
                                 probe.CloseBox();
                               };
                               probe.Type(IDC_FOLDER, folder.path());
                               probe.Click(IDC_ANONYMIZE);
                               EXPECT_FALSE(probe.IsOpen());
                             }),
            IDCANCEL);
  EXPECT_EQ(watched.m_log.str(),
            "Anonymizing file: IM1.ima\r\nDone. 1 file(s) modified.\r\n");
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
    ASSERT_EQ(::mkdir(deep.c_str(), 0700), 0);
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
  int notPrefix = 0, drawn = 0;
  DialogProbe::Run(&dlg, [&](DialogProbe& probe) {
    dlg.beforeShow = [&] {
      // The box never shows but the start of the log; a line that comes a
      // frame or more after the last drawing is drawn at once.
      const std::string box = probe.Text(IDC_LOG), log = Shown(previous);
      notPrefix += log.compare(0, box.size(), box) != 0;
      drawn += slow && box == log && probe.ShowsEnd(IDC_LOG);
      previous = dlg.m_log.str();
      if (slow) usleep(120 * 1000);
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
  EXPECT_EQ(notPrefix, 0);
  EXPECT_EQ(drawn, 3);  // each line of the second run but its last
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

TEST(DialogWindow, BytesThatAreNotUtf8AreShownAndSurviveRoundTrips) {
  ScratchFolder folder;
  // One name in UTF-8, one with a lone Latin-1 byte; both show as "é".
  folder.Write("caf\xC3\xA9.ima", Patient("DOE^JOHN", "20070801"));
  folder.Write("caf\xE9.ima", Patient("SMITH^ANN", "20070802"));
  const std::string run =
      "Anonymizing file: caf\xC3\xA9.ima\r\n"
      "Anonymizing file: caf\xE9.ima\r\n"
      "Done. 2 file(s) modified.\r\n";
  CVeilmarkDlg dlg;
  DialogProbe::Run(&dlg, [&](DialogProbe& probe) {
    probe.Type(IDC_FOLDER, folder.path());
    probe.Click(IDC_ANONYMIZE);
    EXPECT_EQ(probe.Text(IDC_LOG), Shown(run));
    // A press with no folder exchanges the boxes into the fields again.
    probe.Type(IDC_FOLDER, "");
    probe.Click(IDC_ANONYMIZE);
    // An edit by the user changes only what it touches.
    probe.Type(IDC_LOG, probe.Text(IDC_LOG) + "note: \xE2\x9C\x93\r\n");
    probe.Click(IDOK);
  });
  EXPECT_EQ(dlg.m_log.str(),
            run + "ERROR:No folder selected.\r\nnote: \xE2\x9C\x93\r\n");
}
