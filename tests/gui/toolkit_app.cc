#include "tests/gui/toolkit_app.h"

#include <wx/app.h>
#include <wx/display.h>

void CallAfterEvents(std::function<void()> call) {
  wxTheApp->CallAfter(std::move(call));
}

void YieldToToolkit() { wxTheApp->Yield(true); }

bool HasDisplay() { return wxDisplay::GetCount() > 0; }
