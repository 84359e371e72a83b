// Message maps: each class that handles messages lists them in a static
// table, chained to its base class's table. The window side looks a message
// up with CCmdTarget::Dispatch and calls the handler found.
#ifndef VEILMARK_PLATFORM_MESSAGE_MAP_H_
#define VEILMARK_PLATFORM_MESSAGE_MAP_H_

#include "platform/win_window.h"

class CCmdTarget;
typedef void (CCmdTarget::*AFX_PMSG)();

// The handler's signature: all handlers here take and return nothing.
enum AfxSig { AfxSig_end = 0, AfxSig_vv };

struct AFX_MSGMAP_ENTRY {
  UINT nMessage;
  UINT nCode;  // notification code, for WM_COMMAND
  UINT nID;    // control id, for WM_COMMAND
  AfxSig nSig;
  AFX_PMSG pfn;
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*pfnGetBaseMap)();
  const AFX_MSGMAP_ENTRY* lpEntries;
};

class CCmdTarget {
 public:
  virtual ~CCmdTarget() = default;
  virtual const AFX_MSGMAP* GetMessageMap() const;

  // Calls the handler of the message (WM_COMMAND: with `code` from control
  // `id`) found first in the map chain; false when none handles it.
  bool Dispatch(UINT message, UINT code, UINT id);

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
  { 0, 0, 0, AfxSig_end, nullptr }                                 \
  }                                                                \
  ;                                                                \
  static const AFX_MSGMAP map = {&TheBaseClass::GetThisMessageMap, \
                                 &entries[0]};                     \
  return &map;                                                     \
  }

#define ON_COMMAND(id, memberFxn)                   \
  {WM_COMMAND, 0, static_cast<UINT>(id), AfxSig_vv, \
   static_cast<AFX_PMSG>(memberFxn)},
#define ON_BN_CLICKED(id, memberFxn)                         \
  {WM_COMMAND, BN_CLICKED, static_cast<UINT>(id), AfxSig_vv, \
   static_cast<AFX_PMSG>(memberFxn)},
#define ON_WM_PAINT() \
  {WM_PAINT, 0, 0, AfxSig_vv, static_cast<AFX_PMSG>(&ThisClass::OnPaint)},

#endif  // VEILMARK_PLATFORM_MESSAGE_MAP_H_
