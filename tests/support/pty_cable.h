#pragma once
// A null-modem cable between two pseudo-terminals: what one side's program writes, the other
// side's program reads, both ways, through the masters of the two pairs. A thread of its own
// carries the bytes, so two programs under test talk to each other as two serial devices on one
// cable would. Linux only.

#include <atomic>
#include <thread>

#include "pty_pair.h"

class PtyCable {
 public:
  PtyCable(PtyPair& one, PtyPair& two);
  ~PtyCable();
  PtyCable(const PtyCable&) = delete;
  PtyCable& operator=(const PtyCable&) = delete;

 private:
  void Carry();

  PtyPair& one_;
  PtyPair& two_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};
