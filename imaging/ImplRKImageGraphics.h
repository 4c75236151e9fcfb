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
  // Draws on rows [top, top + rows) of a width x height picture only: a bitmap of width x rows
  // is loaded from those rows of the pixels (a drawable type) and drawn on in the coordinates of
  // the whole picture, the viewport origin being moved up by top. 0 when the bitmap cannot be
  // made or the pixels are fewer than the picture.
  virtual int attachBand(u32 pixelType, RKBuffer* pixels, int width, int height, int top, int rows);
  // Writes the band back into its rows of the pixels it was loaded from.
  virtual void copyBackBand();

  void drawPolyline(RKPoint* points, int count) override;
  int beginPath() override;
  int endPath() override;
  int strokePath() override;
  int fillPath() override;
  int strokeAndFillPath() override;
  int closeFigure() override;
  int abortPath() override;
  void flushToWindow(int x, int y, int w, int h) override;

 protected:
  bool canFill() override { return memDC != nullptr; }
  bool canMeasure() override { return true; }
  RECT clearArea() override { return RECT{0, bandTop, width, bandTop + height}; }
  void drawn() override { dirty = 1; }
  bool holdsDrawnImage() override { return true; }

  // A DIB row (blue, green, red, x; b bytes a pixel) as count pixels of a drawable type.
  static void fromDibRow(u32 pixelType, const u8* src, int b, u8* dst, int count);

  u32 dirty;
  int width;
  int height;
  RKBuffer* attached;
  u32 bandType;
  int bandTop;
};

}  // namespace RKSDK

#endif
