#include "wul/WULObject.h"

int32_t CWULObject::HandleNotify(CWULObject* sender, int32_t code, intptr_t param) { return 0; }

int32_t CWULObject::Notify(int32_t code, intptr_t param) {
  if (!listener)
    return 0;
  return listener->HandleNotify(this, code, param);
}

int32_t CWULObject::NotifyTo(CWULObject* sender, CWULObject* target, int32_t code, intptr_t param) {
  if (!target)
    return 0;
  return target->HandleNotify(sender, code, param);
}

bool CWULObject::IsInListenerChainOf(const CWULObject* other) const {
  if (!other)
    return false;
  // The slow walker guards against a listener cycle that does not pass through this object.
  const CWULObject* slow = other->listener;
  const CWULObject* fast = other->listener;
  while (fast) {
    if (fast == this)
      return true;
    fast = fast->listener;
    if (!fast)
      return false;
    if (fast == this)
      return true;
    fast = fast->listener;
    slow = slow->listener;
    if (fast == slow)
      return false;
  }
  return false;
}
