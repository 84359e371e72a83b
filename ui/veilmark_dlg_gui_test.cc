// The main dialog on screen, driven as its user drives it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "anonymize/veilmark_dlg.h"
#include "platform/display_text.h"
#include "platform/window_system.h"
#include "platform/wx/dialog_probe.h"
#include "tests/test_folder.h"

namespace {

using Names = std::vector<std::string>;

Fixture Patient(const std::string& name, const std::string& date) {
  Fixture fixture;
  fixture.patientName = name;
  fixture.studyDate = date;
  return fixture;
}

// What the boxes show for `bytes`, in UTF-8.
std::string Shown(const std::string& bytes) {
  std::u32string text = DecodeForDisplay(bytes);
  return BytesAfterEdit("", text);
}

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
    if (!answer) return false;
    *path = *answer;
    return true;
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

TEST(DialogWindow, ControlsFocusAndFrameAreAsTheTemplateSays) {
  CVeilmarkDlg dlg;
  INT_PTR result = DialogProbe::Run(&dlg, [](DialogProbe& probe) {
    EXPECT_EQ(probe.Title(), "Veilmark");
    EXPECT_FALSE(probe.Resizable());
    EXPECT_FALSE(probe.HasMinimizeBox());
    EXPECT_FALSE(probe.HasMaximizeBox());
    EXPECT_EQ(probe.ClientWidth(), probe.PixelsX(246));
    EXPECT_EQ(probe.ClientHeight(), probe.PixelsY(153));

    struct Expected {
      int id;
      const char* kind;
      const char* text;
      int x, y, cx, cy;
    };
    const Expected expected[] = {
        {IDOK, "button", "Exit", 124, 130, 50, 16},
        {IDC_SELECT_FOLDER, "button", "Select Folder...", 7, 7, 64, 16},
        {IDC_FOLDER, "edit", "", 76, 9, 163, 12},
        {IDC_ANONYMIZE, "button", "Anonymize", 70, 130, 50, 16},
        {IDC_LOG, "multi-line edit", "", 7, 28, 232, 100},
    };
    std::vector<ControlView> controls = probe.Controls();
    ASSERT_EQ(controls.size(), 5u);
    for (size_t i = 0; i < controls.size(); ++i) {
      SCOPED_TRACE(expected[i].text);
      EXPECT_EQ(controls[i].id, expected[i].id);
      EXPECT_EQ(controls[i].kind, expected[i].kind);
      EXPECT_EQ(controls[i].text, expected[i].text);
      EXPECT_EQ(controls[i].isDefault, expected[i].id == IDC_ANONYMIZE);
      EXPECT_TRUE(controls[i].tabStop);
      EXPECT_EQ(controls[i].x, probe.PixelsX(expected[i].x));
      EXPECT_EQ(controls[i].y, probe.PixelsY(expected[i].y));
      EXPECT_EQ(controls[i].width, probe.PixelsX(expected[i].cx));
      EXPECT_EQ(controls[i].height, probe.PixelsY(expected[i].cy));
    }
    EXPECT_EQ(probe.FocusedId(), IDOK);
    probe.Click(IDOK);
    EXPECT_FALSE(probe.IsOpen());
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_NE(dlg.m_hIcon, nullptr);
}

TEST(DialogWindow, EscapeAndTheCloseBoxCancelEnterPressesAnonymize) {
  CVeilmarkDlg escaped;
  EXPECT_EQ(DialogProbe::Run(&escaped,
                             [](DialogProbe& probe) {
                               probe.PressEscape(IDC_LOG);
                               EXPECT_FALSE(probe.IsOpen());
                             }),
            IDCANCEL);

  CVeilmarkDlg closed;
  EXPECT_EQ(DialogProbe::Run(&closed,
                             [](DialogProbe& probe) {
                               probe.CloseBox();
                               EXPECT_FALSE(probe.IsOpen());
                             }),
            IDCANCEL);

  CVeilmarkDlg entered;
  DialogProbe::Run(&entered, [](DialogProbe& probe) {
    probe.Type(IDC_FOLDER, "x");
    probe.PressEnter(IDC_FOLDER);
    EXPECT_TRUE(probe.IsOpen());
    EXPECT_EQ(probe.Text(IDC_LOG), "ERROR:No folder selected.\r\n");
  });
}

TEST(DialogWindow, AFolderTextShorterThanTwoCharactersIsRefused) {
  ScratchFolder folder;
  char saved[4096];
  ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
  ASSERT_EQ(chdir(folder.path().c_str()), 0);
  folder.Write("IM0001.ima", Patient("DOE^JOHN", "20070801"));

  CVeilmarkDlg dlg;
  DialogProbe::Run(&dlg, [](DialogProbe& probe) {
    probe.Click(IDC_ANONYMIZE);
    probe.Type(IDC_FOLDER, ".");
    probe.Click(IDC_ANONYMIZE);
    EXPECT_EQ(probe.Text(IDC_LOG),
              "ERROR:No folder selected.\r\nERROR:No folder selected.\r\n");
    EXPECT_EQ(probe.Text(IDC_FOLDER), ".");
  });
  EXPECT_EQ(chdir(saved), 0);
  EXPECT_EQ(folder.Names(), Names{"IM0001.ima"});
  EXPECT_EQ(dlg.m_folder, CString("."));
}

TEST(DialogWindow, FolderPickerAnswerReplacesTheTypedText) {
  AnsweredChooser chooser;
  const std::string chosen = "/data/study \xE9t\xC3\xA9";
  CVeilmarkDlg dlg;
  DialogProbe::Run(&dlg, [&](DialogProbe& probe) {
    probe.Type(IDC_FOLDER, "/typed/by/hand");
    probe.Click(IDC_SELECT_FOLDER);
    EXPECT_EQ(probe.Text(IDC_FOLDER), "");

    probe.Type(IDC_FOLDER, "/typed/again");
    chooser.answer = &chosen;
    probe.Click(IDC_SELECT_FOLDER);
    EXPECT_EQ(probe.Text(IDC_FOLDER), Shown(chosen));
    probe.Click(IDOK);
  });
  EXPECT_EQ(dlg.m_folder.str(), chosen);
  EXPECT_EQ(chooser.titles,
            (Names{"Select a DICOM folder...", "Select a DICOM folder..."}));
  ASSERT_EQ(chooser.owners.size(), 2u);
  EXPECT_NE(chooser.owners[0], nullptr);
}

TEST(DialogWindow, RunsShowTheirLinesLiveAndKeepEarlierRuns) {
  ScratchFolder folder;
  for (int i = 0; i < 30; ++i) {
    char name[16];
    snprintf(name, sizeof name, "IM%04d.ima", i);
    char date[16];
    snprintf(date, sizeof date, "200708%02d", i % 28 + 1);
    folder.Write(name, Patient(i % 2 ? "DOE^JOHN" : "SMITH^ANN", date));
  }
  ScratchFolder second;
  for (const char* name : {"A.ima", "B.ima", "C.ima"}) {
    second.Write(name, Patient("ROE^JANE", "20070901"));
  }

  WatchedDlg dlg;
  bool slow = false;
  int exact = 0, behind = 0, notAtEnd = 0, notPrefix = 0;
  std::string previous, firstRun;
  DialogProbe::Run(&dlg, [&](DialogProbe& probe) {
    dlg.beforeShow = [&] {
      if (!previous.empty()) {
        std::string box = probe.Text(IDC_LOG), log = Shown(previous);
        if (log.compare(0, box.size(), box) != 0) ++notPrefix;
        if (slow) {
          // A line that comes a while after the last drawing is drawn at
          // once, with the box scrolled to it.
          box == log ? ++exact : ++behind;
          if (!probe.ShowsEnd(IDC_LOG)) ++notAtEnd;
        }
      }
      previous = dlg.m_log.str();
      if (slow) usleep(120 * 1000);  // longer than a frame
    };
    // Lines in quick succession: the box never shows anything but the start
    // of the log, and the whole of it once the run is over.
    probe.Type(IDC_FOLDER, folder.path());
    probe.Click(IDC_ANONYMIZE);
    firstRun = probe.Text(IDC_LOG);
    EXPECT_TRUE(probe.ShowsEnd(IDC_LOG));

    // The user scrolls back; the next line brings the end into view again.
    probe.ScrollToStart(IDC_LOG);
    EXPECT_FALSE(probe.ShowsEnd(IDC_LOG));
    previous.clear();
    slow = true;
    probe.Type(IDC_FOLDER, second.path());
    probe.Click(IDC_ANONYMIZE);
    EXPECT_EQ(probe.Text(IDC_LOG), Shown(dlg.m_log.str()));
    EXPECT_TRUE(probe.ShowsEnd(IDC_LOG));
  });
  EXPECT_EQ(notPrefix, 0);
  EXPECT_EQ(exact, 3);  // every line of the second run but its last
  EXPECT_EQ(behind, 0);
  EXPECT_EQ(notAtEnd, 0);

  std::string expected;
  for (int i = 0; i < 30; ++i) {
    char line[64];
    snprintf(line, sizeof line, "Anonymizing file: IM%04d.ima\r\n", i);
    expected += line;
  }
  expected += "Done. 30 file(s) modified.\r\n";
  EXPECT_EQ(firstRun, expected);
  EXPECT_EQ(dlg.m_log.str(), expected +
                                 "Anonymizing file: A.ima\r\n"
                                 "Anonymizing file: B.ima\r\n"
                                 "Anonymizing file: C.ima\r\n"
                                 "Done. 3 file(s) modified.\r\n");
  EXPECT_EQ(folder.Names().size(), 31u);
  EXPECT_EQ(ReadRecord(folder / "anonymous_record.csv").size(), 31u);
  EXPECT_EQ(StoredPatientName(second / "ANONRE20070901.ima"), "ANONRE20070901");
}

TEST(DialogWindow, BytesThatAreNotUtf8AreShownAndSurviveRoundTrips) {
  ScratchFolder folder;
  // One name in UTF-8, one with a lone Latin-1 byte; both show as "é".
  folder.Write("caf\xC3\xA9.ima", Patient("DOE^JOHN", "20070801"));
  folder.Write("caf\xE9.ima", Patient("SMITH^ANN", "20070802"));

  CVeilmarkDlg dlg;
  std::string afterRun;
  DialogProbe::Run(&dlg, [&](DialogProbe& probe) {
    probe.Type(IDC_FOLDER, folder.path());
    probe.Click(IDC_ANONYMIZE);
    afterRun = dlg.m_log.str();
    EXPECT_EQ(probe.Text(IDC_LOG),
              "Anonymizing file: caf\xC3\xA9.ima\r\n"
              "Anonymizing file: caf\xC3\xA9.ima\r\n"
              "Done. 2 file(s) modified.\r\n");
    // A press with no folder exchanges the boxes into the fields again.
    probe.Type(IDC_FOLDER, "");
    probe.Click(IDC_ANONYMIZE);
    EXPECT_EQ(dlg.m_log.str(), afterRun + "ERROR:No folder selected.\r\n");

    // An edit by the user changes only what it touches.
    std::string edited = probe.Text(IDC_LOG) + "note: \xE2\x9C\x93\r\n";
    probe.Type(IDC_LOG, edited);
    probe.Click(IDOK);
  });
  EXPECT_EQ(afterRun,
            "Anonymizing file: caf\xC3\xA9.ima\r\n"
            "Anonymizing file: caf\xE9.ima\r\n"
            "Done. 2 file(s) modified.\r\n");
  EXPECT_EQ(dlg.m_log.str(), afterRun +
                                 "ERROR:No folder selected.\r\n"
                                 "note: \xE2\x9C\x93\r\n");
}

}  // namespace
