// main() of the tests that show windows: starts the toolkit and the window
// system around the tests. Without a display the tests are skipped.
#include <gtest/gtest.h>
#include <wx/debug.h>
#include <wx/string.h>

#include "platform/wx/toolkit_entry.h"
#include "platform/wx/wx_window_system.h"
#include "tests/gui/toolkit_app.h"

namespace {

class NoDisplay : public testing::Environment {
 public:
  void SetUp() override {
    GTEST_SKIP() << "no display: run the window tests under xvfb-run";
  }
};

void FailOnToolkitAssert(const wxString& file, int line, const wxString&,
                         const wxString& condition, const wxString& message) {
  ADD_FAILURE_AT(file.utf8_str(), line)
      << "toolkit assertion " << condition.utf8_str() << ": "
      << message.utf8_str();
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  if (!StartToolkit(argc, argv, nullptr) || !HasDisplay()) {
    testing::AddGlobalTestEnvironment(new NoDisplay);
    return RUN_ALL_TESTS();
  }
  wxSetAssertHandler(FailOnToolkitAssert);
  WxWindowSystem window_system;
  SetWindowSystem(&window_system);
  int status = RUN_ALL_TESTS();
  SetWindowSystem(nullptr);
  EndToolkit();
  return status;
}
