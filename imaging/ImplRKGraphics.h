// The GDI drawing shared by the two back-ends of IRKGraphics: a memory device context with a
// bitmap selected, three colours and a font. Every operation that needs a pen, brush or font
// makes it, saves the device context, selects, draws, restores the context and deletes it.
// The back-ends differ through the hooks below. Adds no name to the class-name path.
#ifndef RKSDK_IMPLRKGRAPHICS_H
#define RKSDK_IMPLRKGRAPHICS_H

#include <windows.h>

#include "IRKGraphics.h"

namespace RKSDK {

class RKImage;

class ImplRKGraphics : public virtual IRKGraphics {
 public:
  ImplRKGraphics();
  ~ImplRKGraphics() override;

  void drawRectOutline(int x, int y, int w, int h) override;
  void drawRoundRect(int x, int y, int w, int h, int ellipseWidth, int ellipseHeight) override;
  int drawImage(RKImage* image, int sx, int sy, int sw, int sh, int tx, int ty, int tw, int th) override;
  int drawImage(RKImage* image, int x, int y, int w, int h) override;
  int drawImage(RKImage* image, int x, int y) override;
  int drawImageTransparent(RKImage* image, int sx, int sy, int sw, int sh, int tx, int ty, int tw, int th,
                           RKColor key) override;
  int drawArc(int x, int y, int w, int h, int startX, int startY, int endX, int endY) override;
  void drawLine(int x1, int y1, int x2, int y2, int width) override;
  void drawOval(int x, int y, int w, int h) override;
  void drawPolyline(RKPoint* points, int count) override;
  int drawBezier(RKPoint* points, int count) override;
  void drawText(RKString text, RKRect rect, u32 format) override;
  void drawString(RKString text, int x, int y) override;
  void setPixel(int x, int y, RKColor color) override;
  void drawPie(int x, int y, int w, int h, int startX, int startY, int endX, int endY) override;
  void drawEllipse(int x, int y, int w, int h) override;
  void drawRect(int x, int y, int w, int h) override;
  void drawPolygon(RKPoint* points, int count, int alternate) override;
  RKFont* getFont() override;
  int setFont(RKFont* font) override;
  RKColor* getBackgroundColor() override;
  RKColor* getColor() override;
  RKColor* getFillColor() override;
  void setTransparentText(int transparent) override;
  void fillRect(RKRect rect) override;
  void clear() override;
  void drawDisabledText(RKString text, int x, int y) override;
  void drawFocusRect(int x, int y, int w, int h, int thickness) override;
  RKSize getTextSize(RKString text) override;
  int getFontHeight() override;
  void setNullPen(int none) override { nullPen = none; }
  void setNullFill(int none) override { nullFill = none; }
  void moveTo(int x, int y) override;
  void polylineTo(int fromX, int fromY, RKPoint* points, int count) override;
  int polyBezierTo(int fromX, int fromY, RKPoint* points, int count) override;
  void drawPolyPolygon(RKPoint* points, const int* counts, int lists, int alternate) override;

 protected:
  // Whether the background fills (fillRect, clear) may draw.
  virtual bool canFill() = 0;
  // Whether the text measurements may run.
  virtual bool canMeasure() = 0;
  // The rectangle clear fills.
  virtual RECT clearArea() = 0;
  // Called after every drawing operation has drawn.
  virtual void drawn() {}
  // Whether drawImage (not transparent) holds a reference on the image while it draws.
  virtual bool holdsDrawnImage() { return false; }
  // Whether the rows of a drawn 32-bit image (1004, 1007) carry its alpha in their fourth byte;
  // otherwise it is 0 there, as GDI leaves it in the pixels it draws itself.
  virtual bool keepsImageAlpha() { return true; }

  template <class Draw>
  bool withPen(int width, Draw draw);
  template <class Draw>
  bool withPenAndBrush(Draw draw);
  template <class Draw>
  void withFont(bool textColour, Draw draw);
  // One row of a drawable pixel type as a DIB row (blue, green, red[, alpha]).
  static void dibRow(u32 pixelType, const u8* src, u8* dst, int count);
  // Header of a top-down DIB without compression.
  static void dibHeader(BITMAPINFO& info, int width, int height, int bitCount);
  // Selects the bitmap into the memory device context, remembering what was selected before.
  void selectBitmap();
  // Deletes the bitmap (deselecting it first) and the memory device context.
  void deleteBitmap();
  void deleteDC();
  // A native font from the font description, or null.
  HFONT makeFont();
  // Pen of the pen colour and the given width (a null pen when set so).
  HPEN makePen(int width);
  // Moves the current position to (x, y) unless it is there already.
  void continueFrom(int x, int y);
  HBRUSH makeFillBrush();
  // The points as native points; null for a count below 1 or a failed allocation.
  POINT* nativePoints(RKPoint* points, int count);
  // Rows of a top-down DIB from the image's crop; null when the image cannot be drawn.
  u8* imageBits(RKImage* image, int& sx, int& sy, int& sw, int& sh, BITMAPINFO& info);

  HDC memDC;
  HBITMAP bitmap;
  HGDIOBJ previousBitmap;
  RKColor* penColor;
  RKColor* backgroundColor;
  RKColor* fillColor;
  RKFont* font;
  int nullPen;
  int nullFill;
};

// Outline-only operations: a pen selected for the call. The previous objects are selected back
// one by one: restoring a saved state would also take back a path being built.
template <class Draw>
inline bool ImplRKGraphics::withPen(int width, Draw draw) {
  if (!memDC) return false;
  HPEN pen = makePen(width);
  HGDIOBJ oldPen = pen ? SelectObject(memDC, pen) : nullptr;
  draw();
  if (oldPen) SelectObject(memDC, oldPen);
  if (pen) DeleteObject(pen);
  drawn();
  return true;
}

// Filled shapes: the pen and the fill brush; the brush is deleted before the pen.
template <class Draw>
inline bool ImplRKGraphics::withPenAndBrush(Draw draw) {
  if (!memDC) return false;
  HPEN pen = makePen(1);
  HBRUSH brush = makeFillBrush();
  HGDIOBJ oldPen = pen ? SelectObject(memDC, pen) : nullptr;
  HGDIOBJ oldBrush = brush ? SelectObject(memDC, brush) : nullptr;
  draw();
  if (oldBrush) SelectObject(memDC, oldBrush);
  if (oldPen) SelectObject(memDC, oldPen);
  if (brush) DeleteObject(brush);
  if (pen) DeleteObject(pen);
  drawn();
  return true;
}

}  // namespace RKSDK

#endif
