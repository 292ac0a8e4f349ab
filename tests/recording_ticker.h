// A stand-in for the running ticker as the companion addresses it: running or not, it records the
// commands posted to it (none while it is not running, as PostMessage to no window fails).
#pragma once

#include <vector>

#include "support/ticker_link/ticker_address.h"

namespace zellora_test {

class RecordingTicker : public ticker_link::TickerAddress {
 public:
  explicit RecordingTicker(bool isRunning = true) : running(isRunning) {}
  bool running;
  std::vector<int> commands;
  bool IsRunning() override { return running; }
  bool PostCommand(int command) override {
    if (!running) return false;
    commands.push_back(command);
    return true;
  }
};

}  // namespace zellora_test
