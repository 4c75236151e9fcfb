// A widget showing one image scaled to its size, or a frame set either animated frame by frame
// with each frame's delay or, in still mode, as all its frames stacked. A left press posts
// RK_ACTION_PICTURE_PRESSED to the picture itself.
#ifndef RKSDK_RKPICTURE_H
#define RKSDK_RKPICTURE_H

#include "RKDesignComponent.h"
#include "RKImage.h"
#include "RKImageGroup.h"

namespace RKSDK {

class RKPicture : public virtual RKDesignComponent {
 public:
  RKPicture();
  ~RKPicture() override;

  using RKDesignComponent::paint;
  using RKDesignComponent::mousePressed;
  using RKDesignComponent::mouseDoubleClicked;
  using RKComponent::timerFired;

  // Shows the image (flattened onto a checkerboard when it has alpha); null empties the
  // picture without a redraw.
  virtual void setImage(RKImage* image);
  virtual RKImage* getImage();
  // Shows the frame set from its first frame, animated unless in still mode.
  virtual void setImageGroup(RKImageGroup* frames);
  virtual RKImageGroup* getImageGroup();
  // 1 stops the animation; 0 does not restart it.
  virtual void setStill(u32 mode);
  // Nonzero draws a one-pixel frame around the picture.
  virtual void setDrawMode(u32 mode);
  // Drops the image and the frame set; no redraw.
  virtual void clear();

  void onAfterCreate() override;
  u32 paint(RKRect area, IRKGraphics* graphics) override;
  u32 mousePressed(RKPoint point) override;
  // The press of a double click is a press.
  u32 mouseDoubleClicked(RKPoint point) override;
  u32 timerFired() override;

  int getFrameIndex() { return frameIndex; }
  u32 isStill() { return stillMode; }

 protected:
  // The image as shown: a flattened copy for types with alpha, else the image itself; one
  // reference for the caller.
  static RKImage* shownForm(RKImage* image);

  u32 stillMode;
  RKImage* image;
  RKImageGroup* frames;
  int frameIndex;
  u32 drawMode;
};

}  // namespace RKSDK

#endif
