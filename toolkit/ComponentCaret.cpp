#include "ComponentCaret.h"

namespace RKSDK {

ComponentCaret::ComponentCaret() : window(nullptr), created(0) {}

ComponentCaret::~ComponentCaret() {}

void ComponentCaret::setWindow(HWND w) { window = w; }

void ComponentCaret::setHeight(u32 h) {
  if (created && h != height) {
    DestroyCaret();
    CreateCaret(window, nullptr, int(width), int(h));
    ShowCaret(window);
  }
  height = h;
}

int ComponentCaret::createCaret() {
  if (!window) return 0;
  created = 1;
  return CreateCaret(window, nullptr, int(width), int(height));
}

int ComponentCaret::showCaret() { return window ? ShowCaret(window) : 0; }

int ComponentCaret::hideCaret() { return window ? HideCaret(window) : 0; }

int ComponentCaret::setCaretPosition(int x, int y) { return SetCaretPos(x, y); }

int ComponentCaret::destroyCaret() {
  created = 0;
  return DestroyCaret();
}

int ComponentCaret::setBlinkTime(u32 ms) { return SetCaretBlinkTime(ms); }

u32 ComponentCaret::getBlinkTime() { return GetCaretBlinkTime(); }

}  // namespace RKSDK
