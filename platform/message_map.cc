#include "platform/message_map.h"

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, AfxSig_end, nullptr}};
  static const AFX_MSGMAP map = {nullptr, &entries[0]};
  return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const {
  return GetThisMessageMap();
}

bool CCmdTarget::Dispatch(UINT message, UINT code, UINT id) {
  for (const AFX_MSGMAP* map = GetMessageMap(); map;
       map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* entry = map->lpEntries;
         entry->nSig != AfxSig_end; ++entry) {
      if (entry->nMessage != message) continue;
      if (message == WM_COMMAND && (entry->nCode != code || entry->nID != id)) {
        continue;
      }
      (this->*entry->pfn)();
      return true;
    }
  }
  return false;
}
