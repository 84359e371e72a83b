// CVeilmarkApp: the application object. Its whole work is to show the main
// dialog.
#ifndef VEILMARK_APP_VEILMARK_APP_H_
#define VEILMARK_APP_VEILMARK_APP_H_

#include "platform/framework/cwinapp.h"

class CVeilmarkApp : public CWinApp {
 public:
  CVeilmarkApp() = default;
  ~CVeilmarkApp() override = default;

  // Shows the main dialog modally; FALSE, so that the program ends then.
  BOOL InitInstance() override;
};

extern CVeilmarkApp theApp;

#endif  // VEILMARK_APP_VEILMARK_APP_H_
