// The drawing back-end of a component window: draws into an off-screen back buffer (a bitmap
// compatible with the window's device context) that flush copies to the screen.
#ifndef RKSDK_COMPONENTGRAPHICS_H
#define RKSDK_COMPONENTGRAPHICS_H

#include "ImplRKGraphics.h"
#include "RKBuffer.h"

namespace RKSDK {

class ComponentGraphics : public virtual ImplRKGraphics {
 public:
  ComponentGraphics();
  ~ComponentGraphics() override;

  // Makes a back buffer of width x height compatible with the window's device context,
  // replacing the old one; without one every drawing call does nothing.
  virtual void create(HDC windowDC, int width, int height);
  virtual void setWindow(HWND window);
  // Copies the colour's four bytes into the pen colour object.
  virtual void setColor(RKColor color);
  virtual void setBackgroundColor(RKColor color);
  // Copies the rectangle of the back buffer to the same place of the target.
  virtual void flush(HDC target, RKRect rect);
  virtual void freeBitmap();
  virtual void freeDC();
  // The back buffer as pixel type 1005 rows (blue, green, red), top row first; 1 when read.
  virtual int readPixels(RKBuffer* out, u32* width, u32* height);

  void flushToWindow(int x, int y, int w, int h) override;

 protected:
  bool canFill() override { return memDC && window; }
  bool canMeasure() override { return window != nullptr; }
  RECT clearArea() override;

  HWND window;
  int surfaceX, surfaceY, surfaceWidth, surfaceHeight;
};

}  // namespace RKSDK

#endif
