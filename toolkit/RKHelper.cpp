#include "RKHelper.h"

namespace RKSDK {

RKHelper::RKHelper() : text("") {
  appendClassName("RKHelper");
  setWindowClassName("RKHelper");
  setBackground(RKColor(255, 255, 225));
  setSize(4, 2, 0);
  hide();
}

RKHelper::~RKHelper() {}

void RKHelper::fitToText() {
  RKSize e = getTextExtent(text);
  setSize(e.width + 4, e.height + 2, 0);
}

void RKHelper::setText(RKString t) {
  text = t;
  fitToText();
}

RKString RKHelper::getText() { return text; }

void RKHelper::onAfterCreate() {
  fitToText();
  RKContainer::onAfterCreate();
}

u32 RKHelper::paint(RKRect area, IRKGraphics* g) {
  if (!g) return 1;
  RKContainer::paint(area, g);
  g->setTransparentText(1);
  RKSize s = getSize();
  RKColor* pen = g->getColor();
  u32 saved = pen ? pen->getARGB() : 0;
  if (pen) pen->setABGR(0);
  g->drawRectOutline(0, 0, s.width - 1, s.height - 1);
  g->drawString(text, 2, 1);
  restoreColor(pen, saved);
  return 1;
}

}  // namespace RKSDK
