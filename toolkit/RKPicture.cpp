#include "RKPicture.h"

#include "RKPixelConvert.h"

namespace RKSDK {

RKPicture::RKPicture() : stillMode(0), image(nullptr), frames(nullptr), frameIndex(0), drawMode(0) {
  appendClassName("RKPicture");
  setWindowClassName("RKPicture");
}

RKPicture::~RKPicture() { clear(); }

void RKPicture::clear() {
  if (frames) {
    stopTimer();
    RKImageGroup* f = frames;
    frames = nullptr;
    frameIndex = 0;
    f->release();
  }
  if (image) {
    RKImage* i = image;
    image = nullptr;
    i->release();
  }
}

RKImage* RKPicture::shownForm(RKImage* img) {
  u32 type = img->getPixelType();
  if (type == 1007 || type == 1004)
    return composeImage(img->getWidth(), img->getHeight(), nullptr, img, img->getLeft(), img->getTop());
  img->addRef();
  return img;
}

void RKPicture::setImage(RKImage* img) {
  // Held while the old one goes, so that handing in the image already shown keeps it alive.
  if (img) img->addRef();
  clear();
  if (!img) return;
  image = shownForm(img);
  img->release();
  redraw();
}

RKImage* RKPicture::getImage() {
  if (image) image->addRef();
  return image;
}

void RKPicture::setImageGroup(RKImageGroup* set) {
  if (set) set->addRef();
  clear();
  if (!set) return;
  frames = set;
  frameIndex = 0;
  if (!stillMode) {
    RKImage* first = frames->getImage(0);
    if (first) {
      image = shownForm(first);
      if (frames->getCount() > 1) startTimer(first->getDelay());
      first->release();
    }
  }
  redraw();
}

RKImageGroup* RKPicture::getImageGroup() {
  if (frames) frames->addRef();
  return frames;
}

u32 RKPicture::timerFired() {
  if (!frames) return 1;
  ++frameIndex;
  if (frameIndex >= frames->getCount()) frameIndex = 0;
  RKImage* frame = frames->getImage(frameIndex);
  if (!frame) {
    stopTimer();
    return 1;
  }
  if (image) image->release();
  image = frame;
  startTimer(frame->getDelay());
  redraw();
  return 1;
}

void RKPicture::onAfterCreate() {
  if (frames && image) startTimer(image->getDelay());
}

void RKPicture::setStill(u32 mode) {
  stillMode = mode;
  if (mode == 1) stopTimer();
}

void RKPicture::setDrawMode(u32 mode) {
  if (mode == drawMode) return;
  drawMode = mode;
  redraw();
}

u32 RKPicture::mousePressed(RKPoint p) {
  postAction(RK_ACTION_PICTURE_PRESSED, u64(reinterpret_cast<uintptr_t>(this)));
  RKDesignComponent::mousePressed(p);
  return 1;
}

// A second quick press arrives as a double click: it takes the focus and reports a press as any
// press does.
u32 RKPicture::mouseDoubleClicked(RKPoint p) { return designMode ? 1 : doubleClickPress(p); }

u32 RKPicture::paint(RKRect, IRKGraphics* g) {
  if (!g) return 1;
  RKSize s = getSize();
  if (stillMode == 1 && frames) {
    int y = 0;
    int count = frames->getCount();
    for (int i = 0; i < count; ++i) {
      RKImage* f = frames->getImage(i);
      if (!f) continue;
      int fw = f->getWidth(), fh = f->getHeight();
      g->drawImage(f, 0, 0, fw, fh, 0, y, fw, fh);
      y += fh + 2;
      f->release();
    }
  } else if (image) {
    g->drawImage(image, 0, 0, image->getWidth(), image->getHeight(), 0, 0, s.width, s.height);
  }
  if (drawMode) g->drawRectOutline(0, 0, s.width - 1, s.height - 1);
  if (designMode) paintDesign(g);
  return 1;
}

}  // namespace RKSDK
