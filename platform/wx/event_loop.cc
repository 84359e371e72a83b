#include "platform/wx/event_loop.h"

#include <wx/evtloop.h>

bool EventLoopRuns() { return wxEventLoopBase::GetActive() != nullptr; }

void HandleWaitingEvents(bool userInput) {
  if (wxEventLoopBase* loop = wxEventLoopBase::GetActive()) {
    loop->YieldFor(userInput ? wxEVT_CATEGORY_UI | wxEVT_CATEGORY_USER_INPUT
                             : wxEVT_CATEGORY_UI);
  }
}
