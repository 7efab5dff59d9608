#pragma once
// A foreign timer source whose next deadline bounds the main loop's wait.

#include "foundation/eventloop/FList.h"

class TimerPoolPlugin : public F_dual_list_item<TimerPoolPlugin> {
public:
  TimerPoolPlugin() = default;
  TimerPoolPlugin(const TimerPoolPlugin&) = delete;
  TimerPoolPlugin& operator=(const TimerPoolPlugin&) = delete;
  virtual ~TimerPoolPlugin();

  // Milliseconds to the plug-in's next deadline; negative for none.
  virtual int timerPoll() = 0;

  void timerHook();
  void timerUnhook();
  bool hooked() const { return hooked_; }

private:
  bool hooked_ = false;
};
