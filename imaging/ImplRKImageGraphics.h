// The drawing back-end of an RKImage: the pixels are loaded into a screen-compatible bitmap,
// drawn on there, and copied back into the image's buffer in its own pixel type when the image
// next reads them.
#ifndef RKSDK_IMPLRKIMAGEGRAPHICS_H
#define RKSDK_IMPLRKIMAGEGRAPHICS_H

#include "ImplRKGraphics.h"
#include "RKBuffer.h"

namespace RKSDK {

class ImplRKImageGraphics : public virtual ImplRKGraphics {
 public:
  ImplRKImageGraphics();
  ~ImplRKImageGraphics() override;

  // 1 after drawing since the last load or copy-back.
  virtual u32 isDirty();
  // Loads the pixels (non-null, width and height above 0) and clears the dirty flag.
  virtual void attach(u32 pixelType, RKBuffer* pixels, int width, int height);
  // Writes the bitmap into out in the pixel type (1003, 1004, 1005 or 1007).
  virtual void copyBack(u32 pixelType, RKBuffer* out);
  virtual void freeBitmap();
  virtual void freeDC();
  virtual void load(u32 pixelType, RKBuffer* pixels, int width, int height);

  void drawPolyline(RKPoint* points, int count) override;
  int beginPath() override;
  int endPath() override;
  int strokePath() override;
  int fillPath() override;
  int strokeAndFillPath() override;
  void flushToWindow(int x, int y, int w, int h) override;

 protected:
  bool canFill() override { return memDC != nullptr; }
  bool canMeasure() override { return true; }
  RECT clearArea() override { return RECT{0, 0, width, height}; }
  void drawn() override { dirty = 1; }
  bool holdsDrawnImage() override { return true; }

  u32 dirty;
  int width;
  int height;
  RKBuffer* attached;
};

}  // namespace RKSDK

#endif
