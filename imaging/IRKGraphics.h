// The drawing interface: lines, outlines and filled shapes, text, images, pixels, focus
// rectangles, three-dimensional frames and paths. Back-ends: ComponentGraphics (a window's back
// buffer) and ImplRKImageGraphics (an image). The defaults here draw nothing; the frames are
// drawn here for every back-end, from its pen colour and line drawing.
#ifndef RKSDK_IRKGRAPHICS_H
#define RKSDK_IRKGRAPHICS_H

#include "RKColor.h"
#include "RKFont.h"
#include "RKObject.h"
#include "RKPoint.h"
#include "RKRect.h"
#include "RKSize.h"
#include "RKString.h"

namespace RKSDK {

class RKImage;

// Styles of draw3DFrame.
enum { RK_FRAME_SUNKEN = 1, RK_FRAME_RAISED = 2, RK_FRAME_ETCHED = 4 };

class IRKGraphics : public virtual RKObject {
 public:
  IRKGraphics();
  ~IRKGraphics() override;

  // Rectangles (x, y, w, h) cover x to x + w and y to y + h; filled shapes leave out the right
  // and bottom edges. Outlines and lines use the pen colour, fills the fill colour.
  virtual void drawRectOutline(int x, int y, int w, int h);
  virtual void drawRoundRect(int x, int y, int w, int h, int ellipseWidth, int ellipseHeight);
  // Draws the source rectangle of the image (clipped to the image) stretched onto the target
  // rectangle; 1 when drawn. Only pixel types 1003, 1004, 1005 and 1007 are drawn.
  virtual int drawImage(RKImage* image, int sx, int sy, int sw, int sh, int tx, int ty, int tw, int th);
  virtual int drawImage(RKImage* image, int x, int y, int w, int h);
  virtual int drawImage(RKImage* image, int x, int y);
  // As drawImage, leaving out the pixels of the key colour.
  virtual int drawImageTransparent(RKImage* image, int sx, int sy, int sw, int sh, int tx, int ty, int tw, int th,
                                   RKColor key);
  virtual int drawArc(int x, int y, int w, int h, int startX, int startY, int endX, int endY);
  // Only for width >= 1; the end point itself is not drawn.
  virtual void drawLine(int x1, int y1, int x2, int y2, int width);
  virtual void drawOval(int x, int y, int w, int h);
  virtual void drawPolyline(RKPoint* points, int count);
  // A Bezier curve through 1 + 3n points; the system's result, 0 when nothing could be drawn.
  virtual int drawBezier(RKPoint* points, int count);
  // Formatted text in the rectangle; format holds the system's text-format flags.
  virtual void drawText(RKString text, RKRect rect, u32 format);
  // The text's bytes with the top-left of their cell at (x, y).
  virtual void drawString(RKString text, int x, int y);
  virtual void setPixel(int x, int y, RKColor color);
  virtual void drawPie(int x, int y, int w, int h, int startX, int startY, int endX, int endY);
  virtual void drawEllipse(int x, int y, int w, int h);
  virtual void drawRect(int x, int y, int w, int h);
  // Fill mode ALTERNATE when alternate is non-zero, WINDING when it is 0.
  virtual void drawPolygon(RKPoint* points, int count, int alternate);
  // Getters of objects add a reference for the caller; the colours are the live objects.
  virtual RKFont* getFont();
  // Null keeps the old font and gives 0; otherwise the new font is kept (reference added), 1.
  virtual int setFont(RKFont* font);
  virtual RKColor* getBackgroundColor();
  virtual RKColor* getColor();
  virtual RKColor* getFillColor();
  // Text drawn later leaves its background untouched when transparent is non-zero.
  virtual void setTransparentText(int transparent);
  // Fills with the background colour.
  virtual void fillRect(RKRect rect);
  virtual void clear();
  virtual void drawDisabledText(RKString text, int x, int y);
  // thickness nested dotted rectangles, each drawn by inverting.
  virtual void drawFocusRect(int x, int y, int w, int h, int thickness);
  virtual RKSize getTextSize(RKString text);
  // Cell height of the surface's default font; -1 when it cannot be measured.
  virtual int getFontHeight();
  // A pen that draws no outline, a fill that paints nothing (metafile null objects); both off
  // until set.
  virtual void setNullPen(int none);
  virtual void setNullFill(int none);
  // Makes (x, y) the current position; in a path a new figure starts there.
  virtual void moveTo(int x, int y);
  // Lines and Bezier curves (three points a curve) drawn on from (fromX, fromY): the figure
  // being built goes on when the current position is there already, else a new one starts
  // there. The last point becomes the current position.
  virtual void polylineTo(int fromX, int fromY, RKPoint* points, int count);
  virtual int polyBezierTo(int fromX, int fromY, RKPoint* points, int count);
  // Polygons of counts[0], counts[1], ... points filled together, so that in alternate mode
  // one inside another is a hole.
  virtual void drawPolyPolygon(RKPoint* points, const int* counts, int lists, int alternate);
  virtual int beginPath();
  virtual int endPath();
  virtual int strokePath();
  virtual int fillPath();
  virtual int strokeAndFillPath();
  // Closes the figure being built; discards the path.
  virtual int closeFigure();
  virtual int abortPath();
  // RK_FRAME_SUNKEN, RK_FRAME_RAISED or RK_FRAME_ETCHED; other styles draw nothing.
  virtual void draw3DFrame(int x, int y, int w, int h, int style);
  // Copies the rectangle of the back buffer to the window.
  virtual void flushToWindow(int x, int y, int w, int h);
  virtual void drawSunkenFrame(int x, int y, int w, int h);
  virtual void drawRaisedFrame(int x, int y, int w, int h);
  virtual void drawEtchedFrame(int x, int y, int w, int h);

 private:
  struct FrameLine {
    int x1, y1, x2, y2;
  };
  struct FrameGroup {
    u8 r, g, b;
    FrameLine lines[4];
    int count;
  };
  void drawFrameGroups(const FrameGroup* groups, int count);
};

}  // namespace RKSDK

#endif
