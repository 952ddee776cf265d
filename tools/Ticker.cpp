#include "tools/Ticker.h"
#include <new>

CTicker g_Ticker;

CTicker::CTicker() : clients(nullptr) {
  timer.interval = INTERVAL;
  timer.callback = &CTicker::OnTimer;
  timer.userData = this;
}

CTicker::~CTicker() {
  Stop();
}

bool CTicker::Register(Callback callback) {
  if (!callback)
    return false;
  Node* node = new (std::nothrow) Node;
  if (!node)
    return false;
  node->callback = callback;
  node->next = clients;
  clients = node;
  return true;
}

bool CTicker::Unregister(Callback callback) {
  for (Node** link = &clients; *link; link = &(*link)->next) {
    if ((*link)->callback == callback) {
      Node* node = *link;
      *link = node->next;
      delete node;
      return true;
    }
  }
  return false;
}

bool CTicker::Start() {
  try {
    timer.Go();
    return true;
  } catch (...) {
    return false;
  }
}

void CTicker::Stop() {
  try {
    timer.Stop();
  } catch (...) {
  }
  while (clients)
    Unregister(clients->callback);
}

void CTicker::Tick() {
  // The next node is taken before the call, since a client may unregister itself; when a
  // client removed that next node as well, the walk ends.
  for (Node* node = clients; node;) {
    Node* next = node->next;
    try {
      node->callback();
    } catch (...) {
    }
    if (next && !IsLinked(next))
      break;
    node = next;
  }
}

bool CTicker::IsLinked(const Node* node) const {
  for (const Node* n = clients; n; n = n->next)
    if (n == node)
      return true;
  return false;
}

int32_t CTicker::GetClientCount() const {
  int32_t count = 0;
  for (const Node* node = clients; node; node = node->next)
    ++count;
  return count;
}

int CTicker::OnTimer(CWULTimer* timer, CWULTimer*) {
  static_cast<CTicker*>(timer->userData)->Tick();
  return 0;
}
