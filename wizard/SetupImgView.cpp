#include "SetupImgView.h"

#include "IRKGraphics.h"
#include "RKFont.h"

namespace RKSDK {

SetupImgView::SetupImgView() { appendClassName("SetupImgView"); }

SetupImgView::~SetupImgView() {}

void SetupImgView::setTexts(RKString newTitle, RKString newDescription) {
  title = newTitle;
  description = newDescription;
  repaint();
}

u32 SetupImgView::paint(RKRect area, IRKGraphics* graphics) {
  RKPicture::paint(area, graphics);
  graphics->setTransparentText(1);
  RKFont* font = graphics->getFont();
  if (font) font->setWeight(font->getWeight() + 200);
  if (!title.isEmpty()) graphics->drawText(title, RKRect(10, 10, 200, 20), 0x20);
  if (font) {
    font->setWeight(font->getWeight() - 200);
    font->release();
  }
  if (!description.isEmpty()) graphics->drawText(description, RKRect(52, 30, 300, 20), 0x20);
  return 1;
}

}  // namespace RKSDK
