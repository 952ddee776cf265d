#pragma once
// A 100 ms heartbeat for the user interface. Clients are plain functions; the newest client
// is called first, and a client that throws does not stop the others.
#include <cstdint>
#include "wul/WULTimer.h"

class CTicker {
public:
  typedef void (*Callback)();
  enum { INTERVAL = 100 };

  CTicker();
  // Stops the timer and forgets the clients.
  ~CTicker();
  CTicker(const CTicker&) = delete;
  CTicker& operator=(const CTicker&) = delete;

  // False when memory runs out.
  bool Register(Callback callback);
  // Removes the first client with that callback; false when there is none.
  bool Unregister(Callback callback);
  // False when the timer cannot be started.
  bool Start();
  // Stops the timer, then unregisters every client.
  void Stop();
  // Calls every client once, newest first.
  void Tick();

  bool IsRunning() const { return timer.IsRunning(); }
  int32_t GetClientCount() const;

private:
  struct Node {
    Callback callback;
    Node* next;
  };

  bool IsLinked(const Node* node) const;
  static int OnTimer(CWULTimer* timer, CWULTimer* sender);

  Node* clients;
  CWULTimer timer;
};

extern CTicker g_Ticker;
