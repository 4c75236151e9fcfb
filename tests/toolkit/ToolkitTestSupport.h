// Shared helpers of the toolkit tests: a fresh headless window system on a virtual clock,
// a component that records its handler calls, and a listener that records what it receives.
#ifndef RK_TEST_TOOLKIT_SUPPORT_H
#define RK_TEST_TOOLKIT_SUPPORT_H

#include <compat_window.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "RKComponent.h"

using namespace RKSDK;

inline std::vector<std::string>& eventLog() {
  static std::vector<std::string> log;
  return log;
}

inline std::vector<std::string> takeEvents() {
  std::vector<std::string> out = eventLog();
  eventLog().clear();
  return out;
}

inline std::vector<std::string> onlyEvents(const std::vector<std::string>& log, const std::string& prefix) {
  std::vector<std::string> out;
  for (const std::string& e : log)
    if (e.compare(0, prefix.size(), prefix) == 0) out.push_back(e);
  return out;
}

// A component that logs "<name>.<handler>" and answers what answers[handler] says (default 1;
// paint answers 0 like the base unless told otherwise).
class Probe : public RKComponent {
 public:
  explicit Probe(const std::string& n) : name(n) {}
  using RKComponent::paint;
  using RKComponent::mousePressed;
  using RKComponent::mouseReleased;
  using RKComponent::mouseMoved;
  using RKComponent::mouseHovered;
  using RKComponent::mouseExited;
  using RKComponent::mouseEntered;
  using RKComponent::keyPressed;
  using RKComponent::keyReleased;
  using RKComponent::keyTyped;
  using RKComponent::focusGained;
  using RKComponent::focusLost;
  using RKComponent::windowClosing;
  using RKComponent::timerFired;
  using RKComponent::filesDropped;
  using RKComponent::componentDestroyed;
  using RKComponent::componentResized;
  using RKComponent::componentMoved;
  using RKComponent::cursorRequested;
  using RKComponent::mouseActivated;
  using RKComponent::messageReceived;

  ImplRKComponent* getPeer() { return peer; }
  u32 actionCapacity() { return actionListeners.capacity; }
  HWND hwnd() {
    RKCreateInfo info = {nullptr, nullptr};
    getNativeInfo(&info);
    return static_cast<HWND>(info.parent);
  }

  u32 answer(const std::string& handler, u32 fallback = 1) {
    auto it = answers.find(handler);
    return it == answers.end() ? fallback : it->second;
  }
  void log(const std::string& what) { eventLog().push_back(name + "." + what); }

  u32 paint(RKRect area, IRKGraphics* g) override {
    log("paint " + std::to_string(area.x) + "," + std::to_string(area.y) + "," + std::to_string(area.width) + "," +
        std::to_string(area.height));
    if (fill && g) {
      RKColor* c = g->getBackgroundColor();
      c->setARGB(fillColor);
      c->release();
      g->fillRect(area);
    }
    return answer("paint", 0);
  }
  u32 mousePressed(RKPoint p) override {
    log("mousePressed " + std::to_string(p.x) + "," + std::to_string(p.y) + (hasFocus() ? " focused" : ""));
    if (onPress) onPress();
    return answer("mousePressed");
  }
  u32 mouseReleased(RKPoint p) override {
    log("mouseReleased " + std::to_string(p.x) + "," + std::to_string(p.y));
    return answer("mouseReleased");
  }
  u32 mouseMoved(RKPoint p) override {
    log("mouseMoved " + std::to_string(p.x) + "," + std::to_string(p.y));
    return answer("mouseMoved");
  }
  u32 mouseEntered() override {
    log("mouseEntered");
    return answer("mouseEntered");
  }
  u32 mouseExited() override {
    log("mouseExited");
    return answer("mouseExited");
  }
  u32 mouseHovered(RKPoint p) override {
    log("mouseHovered " + std::to_string(p.x) + "," + std::to_string(p.y));
    return answer("mouseHovered");
  }
  u32 keyPressed(u32 k, u32) override {
    log("keyPressed " + std::to_string(k));
    return answer("keyPressed");
  }
  u32 keyReleased(u32 k, u32) override {
    log("keyReleased " + std::to_string(k));
    return answer("keyReleased");
  }
  u32 keyTyped(u8 c, u32) override {
    log("keyTyped " + std::to_string(c));
    return answer("keyTyped");
  }
  u32 focusGained() override {
    log("focusGained");
    return answer("focusGained");
  }
  u32 focusLost() override {
    log("focusLost");
    return answer("focusLost");
  }
  u32 windowClosing() override {
    log("windowClosing");
    return answer("windowClosing");
  }
  u32 timerFired() override {
    log("timerFired");
    return answer("timerFired");
  }
  u32 filesDropped(TRKList<RKString> names) override {
    std::string s = "filesDropped";
    if (names.moveFirst()) do
        s += " " + std::string(names.getCurrent()->data);
      while (names.moveNext());
    log(s);
    return answer("filesDropped");
  }
  u32 componentDestroyed() override {
    log("componentDestroyed");
    return answer("componentDestroyed");
  }
  u32 componentResized(u32 kind, u16 w, u16 h) override {
    log("componentResized " + std::to_string(kind) + " " + std::to_string(w) + "x" + std::to_string(h));
    return answer("componentResized");
  }
  u32 componentMoved(RKPoint p) override {
    log("componentMoved " + std::to_string(p.x) + "," + std::to_string(p.y));
    return answer("componentMoved");
  }
  u32 cursorRequested() override { return answer("cursorRequested"); }
  u32 mouseActivated() override { return answer("mouseActivated"); }
  u32 messageReceived(u32, u32, u32) override { return answer("messageReceived"); }
  int actionPerformed(RKObject* source, u32 id, u64 parameter) override {
    char buf[64];
    snprintf(buf, sizeof buf, "action %x %llu", id, (unsigned long long)parameter);
    log(std::string(buf) + (source == static_cast<RKObject*>(this) ? " self" : ""));
    if (sourceSeen) *sourceSeen = source;
    return 1;
  }

  std::string name;
  std::map<std::string, u32> answers;
  std::function<void()> onPress;
  bool fill = false;
  u32 fillColor = 0;
  RKObject** sourceSeen = nullptr;
};

// A component listener that logs "<name>:<event>" and answers answers[event] (default 1).
class Spy : public IRKComponentListener, public IRKActionListener {
 public:
  explicit Spy(const std::string& n) : name(n) {}
  int answer(const std::string& e) {
    auto it = answers.find(e);
    return it == answers.end() ? 1 : it->second;
  }
  void log(const std::string& e) { eventLog().push_back(name + ":" + e); }

  int paint(RKObject*, RKRect, IRKGraphics*) override {
    log("paint");
    return answer("paint");
  }
  int mousePressed(RKObject*, RKPoint p) override {
    log("mousePressed " + std::to_string(p.x) + "," + std::to_string(p.y));
    if (onPress) onPress();
    return answer("mousePressed");
  }
  int windowClosing(RKObject*) override {
    log("windowClosing");
    return answer("windowClosing");
  }
  int cursorRequested(RKObject*) override { return answer("cursorRequested"); }
  int mouseActivated(RKObject*) override { return answer("mouseActivated"); }
  int messageReceived(RKObject*, u32, u32, u32) override { return answer("messageReceived"); }
  int keyPressed(RKObject*, u32 k, u32) override {
    log("keyPressed " + std::to_string(k));
    return answer("keyPressed");
  }
  int filesDropped(RKObject*, TRKList<RKString> names) override {
    log("filesDropped " + std::to_string(names.getCount()));
    return answer("filesDropped");
  }
  int componentDestroyed(RKObject*) override {
    log("componentDestroyed");
    return answer("componentDestroyed");
  }
  int windowActivated(RKObject*, u32 state, u32 minimized) override {
    log("windowActivated " + std::to_string(state) + " " + std::to_string(minimized));
    return 1;
  }
  int componentShown(RKObject*, u32 shown, u32 status) override {
    log("componentShown " + std::to_string(shown) + " " + std::to_string(status));
    return 1;
  }
  int componentResized(RKObject*, u32 kind, u16 w, u16 h) override {
    log("componentResized " + std::to_string(kind) + " " + std::to_string(w) + "x" + std::to_string(h));
    return 1;
  }
  int hotKeyPressed(RKObject*, u32 id, u32 modifiers, u32 vk) override {
    log("hotKeyPressed " + std::to_string(id) + " " + std::to_string(modifiers) + " " + std::to_string(vk));
    return 1;
  }
  int commandReceived(RKObject*, u32 m, u32 w, u32 l) override {
    log("commandReceived " + std::to_string(m) + " " + std::to_string(w) + " " + std::to_string(l));
    return 1;
  }
  int actionPerformed(RKObject*, u32 id, u64) override {
    char buf[32];
    snprintf(buf, sizeof buf, "action %x", id);
    log(buf);
    if (onAction) onAction();
    return answerAction;
  }

  std::string name;
  std::map<std::string, int> answers;
  std::function<void()> onPress;
  std::function<void()> onAction;
  int answerAction = 1;
};

class ToolkitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    compat_display_select(COMPAT_DISPLAY_HEADLESS);
    compat_reset_windows();
    compat_clock_set_virtual(TRUE);
    eventLog().clear();
  }
  void TearDown() override {
    for (auto it = owned.rbegin(); it != owned.rend(); ++it) (*it)->release();
    owned.clear();
    compat_pump();
    compat_reset_windows();
    eventLog().clear();
  }
  // A component held by the test until TearDown.
  Probe* probe(const std::string& name, const char* cls = "RKTestProbe") {
    Probe* p = new Probe(name);
    p->addRef();
    p->setWindowClassName(cls);
    owned.push_back(p);
    return p;
  }
  // A shown pop-up window at (x, y) of w x h, without a message loop of its own.
  Probe* topLevel(const std::string& name, int x = 100, int y = 100, int w = 200, int h = 150,
                  const char* cls = "RKTestTop") {
    Probe* p = probe(name, cls);
    p->setWindowStyle(RK_STYLE_POPUP);
    p->setBounds(x, y, w, h, 0);
    EXPECT_EQ(p->create(RKCreateInfo{nullptr, nullptr}), 1u);
    return p;
  }
  Probe* childOf(Probe* parent, const std::string& name, int x, int y, int w, int h, const char* cls = "RKTestChild") {
    Probe* p = probe(name, cls);
    p->setBounds(x, y, w, h, 0);
    parent->createChild(p);
    EXPECT_EQ(p->isCreated(), 1u);
    return p;
  }
  std::vector<Probe*> owned;
};

#endif
