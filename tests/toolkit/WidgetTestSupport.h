// Helpers of the widget tests: a drawing interface that records every call with the pen and
// fill colours of that moment, a host window for widgets (a pop-up container, which runs no
// loop) and a listener that counts the actions reaching it.
#ifndef RK_TEST_WIDGET_SUPPORT_H
#define RK_TEST_WIDGET_SUPPORT_H

#include <cstdio>
#include <string>
#include <vector>

#include "RKContainer.h"
#include "ToolkitTestSupport.h"

using Events = std::vector<std::string>;

inline std::string hexColor(RKColor* c) {
  char buf[16];
  snprintf(buf, sizeof buf, "%02x%02x%02x", c->getRed(), c->getGreen(), c->getBlue());
  return buf;
}

// Logs "op args" entries; shapes and text add " pen=rrggbb" and shapes " fill=rrggbb".
class RecordingGraphics : public IRKGraphics {
 public:
  RecordingGraphics() : pen(new RKColor(1, 2, 3)), fill(new RKColor(4, 5, 6)), back(new RKColor(7, 8, 9)) {
    pen->addRef();
    fill->addRef();
    back->addRef();
  }
  ~RecordingGraphics() override {
    pen->release();
    fill->release();
    back->release();
  }

  static std::string box(int x, int y, int w, int h) {
    return std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(w) + "," + std::to_string(h);
  }
  void shape(const std::string& op, int x, int y, int w, int h) {
    calls.push_back(op + " " + box(x, y, w, h) + " pen=" + hexColor(pen) + " fill=" + hexColor(fill));
  }
  void text(const std::string& op, RKString t, const std::string& where) {
    calls.push_back(op + " '" + std::string(t.data ? t.data : "") + "' " + where + " pen=" + hexColor(pen));
  }

  void drawRectOutline(int x, int y, int w, int h) override { shape("outline", x, y, w, h); }
  void drawRect(int x, int y, int w, int h) override { shape("rect", x, y, w, h); }
  void fillRect(RKRect r) override { calls.push_back("fill " + box(r.x, r.y, r.width, r.height)); }
  void draw3DFrame(int x, int y, int w, int h, int style) override {
    calls.push_back("frame" + std::to_string(style) + " " + box(x, y, w, h));
  }
  void drawFocusRect(int x, int y, int w, int h, int thickness) override {
    calls.push_back("focus " + box(x, y, w, h) + " " + std::to_string(thickness));
  }
  void drawString(RKString t, int x, int y) override { text("string", t, std::to_string(x) + "," + std::to_string(y)); }
  void drawDisabledText(RKString t, int x, int y) override {
    text("disabled", t, std::to_string(x) + "," + std::to_string(y));
  }
  void drawText(RKString t, RKRect r, u32 format) override {
    char f[16];
    snprintf(f, sizeof f, "%#x", format);
    text("text", t, box(r.x, r.y, r.width, r.height) + " " + f);
  }
  void setTransparentText(int on) override { transparent = on; }
  RKColor* getColor() override {
    pen->addRef();
    return pen;
  }
  RKColor* getFillColor() override {
    fill->addRef();
    return fill;
  }
  RKColor* getBackgroundColor() override {
    back->addRef();
    return back;
  }

  // The recorded calls whose text starts with prefix.
  std::vector<std::string> only(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& c : calls)
      if (c.compare(0, prefix.size(), prefix) == 0) out.push_back(c);
    return out;
  }

  RKColor* pen;
  RKColor* fill;
  RKColor* back;
  int transparent = 0;
  std::vector<std::string> calls;
};

// Counts the actions of one id that reach it.
class ActionCounter : public IRKActionListener {
 public:
  int actionPerformed(RKObject* source, u32 id, u64) override {
    ids.push_back(id);
    last = source;
    return 1;
  }
  int count(u32 id) const {
    int n = 0;
    for (u32 i : ids) n += i == id;
    return n;
  }
  std::vector<u32> ids;
  RKObject* last = nullptr;
};

inline HWND windowOf(RKComponent* c) {
  RKCreateInfo info = {nullptr, nullptr};
  c->getNativeInfo(&info);
  return static_cast<HWND>(info.parent);
}

// A test of widgets inside a shown host window at (100, 100) of 400 x 300.
class WidgetTest : public ToolkitTest {
 protected:
  void SetUp() override {
    ToolkitTest::SetUp();
    host = new RKContainer();
    host->addRef();
    host->setWindowClassName("RKTestHost");
    host->setWindowStyle(RK_STYLE_POPUP);
    host->setBounds(100, 100, 400, 300, 0);
    host->addActionListener(&actions);
  }
  void TearDown() override {
    host->removeActionListener(&actions);
    host->release();
    ToolkitTest::TearDown();
  }
  // Adds the widget at the bounds, creating the host first when it is not yet made.
  template <class W>
  W* place(W* widget, int x, int y, int w, int h) {
    widget->setBounds(x, y, w, h, 0);
    host->add(widget);
    if (!host->isCreated()) {
      EXPECT_EQ(host->create(RKCreateInfo{nullptr, nullptr}), 1u);
    }
    compat_pump();
    return widget;
  }
  // The paint of a widget through the recorder, over its whole area.
  template <class W>
  std::vector<std::string> paintOf(W* widget, RecordingGraphics& g) {
    g.calls.clear();
    RKSize s = widget->getSize();
    widget->paint(RKRect(0, 0, s.width, s.height), &g);
    return g.calls;
  }

  RKContainer* host = nullptr;
  ActionCounter actions;
};

#endif
