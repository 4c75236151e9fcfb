// The drawing back-end of an RKImage: the pixels are loaded into a screen-compatible bitmap,
// drawn on there, and copied back into the image's buffer in its own pixel type when the image
// next reads them.
//
// Alpha (types 1004 and 1007): GDI knows no alpha. It writes 0 into the fourth byte of every
// pixel it colours itself (lines, fills, text, 24-bit bitmaps), copies it in 32-bit blits, and
// an XOR (a focus rectangle) leaves it or inverts it. So the bitmap does not hold the image's
// alpha: its fourth byte holds a mark, kUntouched, in every pixel when loaded, and the image
// back-end blits images with a fourth byte of 0. On the way back a pixel that still holds the
// mark and the colour it was loaded with was not drawn on and keeps its alpha from the pixels;
// every other pixel was drawn on and comes back opaque (255).
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
  // Writes the bitmap into out in the pixel type (1003, 1004, 1005 or 1007). For 1004 and 1007
  // the alpha of a pixel not drawn on is read from the attached pixels (normally out itself)
  // before out is allocated anew.
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

  // Images are drawn with the fourth byte 0, so that no drawn pixel carries the mark.
  bool keepsImageAlpha() override { return false; }

  // A DIB row (blue, green, red, x; b bytes a pixel) as count pixels of a drawable type.
  static void fromDibRow(u32 pixelType, const u8* src, int b, u8* dst, int count);
  // The fourth byte of a DIB row loaded for a 32-bit type: the mark in every pixel.
  static void markDibRow(u8* row, int count);
  // Turns the marks of count 32-bit DIB pixels into alpha: a pixel holding the mark and the
  // colour of its loaded pixel (loaded: count pixels of type t, 1004 or 1007; null when the
  // bitmap was loaded black and transparent) gets that pixel's alpha, every other pixel 255.
  static void settleAlpha(u8* row, u32 t, const u8* loaded, int count);

  u32 dirty;
  int width;
  int height;
  RKBuffer* attached;
  u32 bandType;
  int bandTop;
  // The 32-bit type whose marked pixels the whole-image bitmap was loaded with; 0 when it holds
  // no marks (24-bit types).
  u32 markedType;
};

}  // namespace RKSDK

#endif
