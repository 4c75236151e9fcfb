#include "RKLabel.h"

namespace RKSDK {

RKLabel::RKLabel(RKString t) : text(t), alignment(RK_ALIGN_LEFT) {
  appendClassName("RKLabel");
  setWindowClassName("RKLabel");
}

RKLabel::~RKLabel() {}

void RKLabel::setText(RKString t) {
  text = t;
  redraw();
}

RKString RKLabel::getText() { return text; }
void RKLabel::setAlignment(int a) { alignment = a; }
int RKLabel::getAlignment() { return alignment; }

u32 RKLabel::paint(RKRect area, IRKGraphics* g) {
  if (!g) return 1;
  g->fillRect(area);
  g->setTransparentText(1);
  RKSize s = getSize();
  u32 format;
  switch (alignment) {
    case RK_ALIGN_LEFT:
      format = 0x20;
      break;  // DT_SINGLELINE | DT_LEFT
    case RK_ALIGN_RIGHT:
      format = 0x22;
      break;  // DT_SINGLELINE | DT_RIGHT
    case RK_ALIGN_CENTER:
      format = 0x21;
      break;  // DT_SINGLELINE | DT_CENTER
    default:
      format = 0;
      break;
  }
  g->drawText(text, RKRect(0, 0, s.width, s.height), format);
  if (designMode) paintDesign(g);
  return 1;
}

}  // namespace RKSDK
