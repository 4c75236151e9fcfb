// The in-memory image: packed pixels of one pixel type with size, frame offsets, delay, density,
// an optional transparent colour, an optional extra byte block and a lazily made drawing back-end.
#ifndef RK_IMAGING_RKIMAGE_H
#define RK_IMAGING_RKIMAGE_H

#include <cstdint>

#include "RKBuffer.h"
#include "RKColor.h"
#include "RKObject.h"

namespace RKSDK {

class IRKGraphics;

// Pixel type codes. Rows are packed top row first, width x bytes-per-pixel bytes each.
enum {
  RK_PIXEL_RGB565 = 1001,   // 16-bit little-endian word, 5-6-5
  RK_PIXEL_RGB555 = 1002,   // 16-bit little-endian word, 5-5-5 (bit 15 unused)
  RK_PIXEL_RGB24 = 1003,    // red, green, blue
  RK_PIXEL_ARGB32 = 1004,   // alpha, red, green, blue
  RK_PIXEL_BGR24 = 1005,    // blue, green, red
  RK_PIXEL_INDEX8 = 1006,   // palette index
  RK_PIXEL_BGRA32 = 1007,   // blue, green, red, alpha
  RK_PIXEL_OTHER24 = 1008,  // three bytes, produced by nothing
  RK_PIXEL_OTHER16 = 1009,  // two bytes, produced by nothing
  RK_PIXEL_YUV420 = 1010,   // planar 4:2:0: full plane, then two quarter planes
  RK_PIXEL_GREY8 = 1011,    // 8-bit grey
  RK_PIXEL_CMYK32 = 1027,   // cyan, magenta, yellow, black
  RK_PIXEL_BILEVEL = 1028,  // one bilevel sample a byte
  RK_PIXEL_FILE = 3001      // not pixels: the undecoded bytes of a whole file
};

class RKImage : public virtual RKObject {
 public:
  RKImage();
  // Copies length bytes of data into a new pixel buffer.
  RKImage(unsigned int pixelType, const void* data, int length, int left, int top, int width, int height,
          unsigned int delay);
  // Adopts pixels (may be null), adding a reference.
  RKImage(unsigned int pixelType, RKBuffer* pixels, int left, int top, int width, int height, unsigned int delay);
  ~RKImage() override;

  // The image's drawing back-end (made and attached to the pixels on the first call) with a
  // reference for the caller; null when it cannot be made.
  virtual IRKGraphics* getGraphics();
  virtual int getLeft();
  virtual void setLeft(int left);
  virtual int getTop();
  virtual void setTop(int top);
  virtual int getWidth();
  virtual void setWidth(int width);
  virtual int getHeight();
  virtual void setHeight(int height);
  virtual void setPixels(unsigned int pixelType, const void* data, int length);
  virtual void setBuffer(unsigned int pixelType, RKBuffer* pixels);
  virtual RKBuffer* getExtraBuffer();
  virtual void setExtraData(const void* data, int length);
  virtual void setExtraBuffer(RKBuffer* extra);
  // The pixel buffer with a reference added (pending drawing copied in first), or null.
  virtual RKBuffer* getBuffer();
  // A new buffer with the pixels of [x0, x1) x [y0, y1), clipped to the image; null when the
  // clipped area is empty, the type is not a pixel type, or the buffer is short of its pixels.
  virtual RKBuffer* cropBuffer(int x0, int y0, int x1, int y1);
  virtual unsigned int getPixelType();
  virtual unsigned int getDelay();
  virtual void setDelay(unsigned int delay);
  virtual int getTransparentColor(RKColor& out);
  virtual int setTransparentColor(const RKColor& color);
  virtual void getDensity(unsigned int* x, unsigned int* y);
  virtual void setDensity(unsigned int x, unsigned int y);

  // A copy of the pixels and geometry (no extra buffer, transparent colour or density), one
  // reference for the caller; null without pixels.
  RKImage* clone() override;
  RKImage& operator=(const RKImage& other);

  // 1 when the pixel buffer holds every byte that width x height pixels of the image's type
  // need, else 0. Every walk over the pixels checks this first.
  int hasAllPixels();

  // Bytes of one pixel of a type: 1, 2, 3 or 4; 0 for the planar type and for non-pixel codes.
  static int bytesPerPixel(unsigned int pixelType);
  // Bytes that width x height pixels of a type take (planar type included); -1 for non-pixel
  // codes and negative sizes.
  static int64_t pixelBytes(unsigned int pixelType, int width, int height);

 private:
  RKImage(const RKImage&) = delete;
  void init();
  void syncGraphics();
  void reattachGraphics();
  void releaseGraphics();

  unsigned int m_delay;
  RKBuffer* m_pixels;
  RKBuffer* m_extra;
  int m_left;
  int m_top;
  int m_width;
  int m_height;
  unsigned int m_pixelType;
  unsigned int m_densityX;
  unsigned int m_densityY;
  RKColor m_transparent;
  unsigned int m_hasTransparent;
  IRKGraphics* m_graphics;
};

}  // namespace RKSDK

#endif
