// Message maps: each class that handles messages lists them in a static
// table, chained to its base class's table. The window side looks a message
// up with CCmdTarget::Dispatch and calls the handler found.
#ifndef VEILMARK_PLATFORM_FRAMEWORK_MESSAGE_MAP_H_
#define VEILMARK_PLATFORM_FRAMEWORK_MESSAGE_MAP_H_

#include "platform/framework/win_window.h"

class CCmdTarget;
typedef void (CCmdTarget::*AFX_PMSG)();

// All handlers here take and return nothing, and every command is a
// click: a message and, for WM_COMMAND, the control's id find the handler.
struct AFX_MSGMAP_ENTRY {
  UINT nMessage;
  UINT nID;      // control id, for WM_COMMAND
  AFX_PMSG pfn;  // null ends the table
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*pfnGetBaseMap)();
  const AFX_MSGMAP_ENTRY* lpEntries;
};

class CCmdTarget {
 public:
  virtual ~CCmdTarget() = default;
  virtual const AFX_MSGMAP* GetMessageMap() const;

  // Calls the handler of the message (WM_COMMAND: from control `id`) found
  // first in the map chain; false when none handles it.
  bool Dispatch(UINT message, UINT id);

 protected:
  static const AFX_MSGMAP* GetThisMessageMap();
};

#define DECLARE_MESSAGE_MAP()                   \
 protected:                                     \
  static const AFX_MSGMAP* GetThisMessageMap(); \
  const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)        \
  const AFX_MSGMAP* theClass::GetMessageMap() const { \
    return GetThisMessageMap();                       \
  }                                                   \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {   \
    using ThisClass [[maybe_unused]] = theClass;      \
    using TheBaseClass = baseClass;                   \
    static const AFX_MSGMAP_ENTRY entries[] = {
#define END_MESSAGE_MAP()                                          \
  { 0, 0, nullptr }                                                \
  }                                                                \
  ;                                                                \
  static const AFX_MSGMAP map = {&TheBaseClass::GetThisMessageMap, \
                                 &entries[0]};                     \
  return &map;                                                     \
  }

#define ON_COMMAND(id, memberFxn) \
  {WM_COMMAND, static_cast<UINT>(id), static_cast<AFX_PMSG>(memberFxn)},
#define ON_BN_CLICKED(id, memberFxn) ON_COMMAND(id, memberFxn)
#define ON_WM_PAINT() {WM_PAINT, 0, static_cast<AFX_PMSG>(&ThisClass::OnPaint)},

#endif  // VEILMARK_PLATFORM_FRAMEWORK_MESSAGE_MAP_H_
