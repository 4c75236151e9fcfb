// Driving the wizard window on the headless display: injected clicks and a script of steps run
// each time the window's queue is idle.
#ifndef RK_TESTS_WIZARD_WIZARDDRIVER_H
#define RK_TESTS_WIZARD_WIZARDDRIVER_H

#include <compat_window.h>

#include <functional>
#include <string>
#include <vector>

#include "Setup.h"

inline std::string text(const RKSDK::RKString& s) { return s.data ? std::string(s.data, s.length) : std::string(); }

inline HWND hwndOf(RKSDK::RKComponent* c) {
  RKSDK::RKCreateInfo info = {nullptr, nullptr};
  c->getNativeInfo(&info);
  return static_cast<HWND>(info.parent);
}

// A click in the middle of the component, as a user's. On the unmoving virtual clock two clicks
// in a row on one component make a click and a double click, as quick clicks do.
inline void clickOn(RKSDK::RKComponent* c) {
  RECT r;
  GetClientRect(hwndOf(c), &r);
  compat_click(hwndOf(c), r.right / 2, r.bottom / 2);
}

inline bool enabled(RKSDK::RKComponent* c) { return IsWindowEnabled(hwndOf(c)) != FALSE; }

// Runs one step each time the queue is idle; quits the window when the steps are done or when
// the loop keeps idling without an end.
class Driver {
 public:
  explicit Driver(RKSDK::Setup* w) : window(w) { compat_set_idle_hook(&Driver::idle, this); }
  ~Driver() { compat_set_idle_hook(nullptr, nullptr); }
  void step(std::function<void()> f) { steps.push_back(std::move(f)); }
  size_t done = 0;

 private:
  static void idle(void* context) {
    Driver* d = static_cast<Driver*>(context);
    // A message box's own loop idles too; its owner stays disabled until it closes.
    if (!IsWindowEnabled(hwndOf(d->window))) return;
    if (d->done < d->steps.size()) {
      d->steps[d->done++]();
    } else if (++d->spare > 50) {
      d->window->quit();
    }
  }
  RKSDK::Setup* window;
  std::vector<std::function<void()>> steps;
  int spare = 0;
};

#endif
