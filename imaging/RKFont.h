// A font description: face name, height, width, weight, italic, underline, strike-out and point
// size. No native font exists while it lives; the drawing back-ends make one per text operation.
#ifndef RKSDK_RKFONT_H
#define RKSDK_RKFONT_H

#include "RKObject.h"
#include "RKString.h"

namespace RKSDK {

class ImplRKFont;

class RKFont : public virtual RKObject {
 public:
  RKFont();
  ~RKFont() override;
  RKFont(const RKFont&) = delete;
  RKFont& operator=(const RKFont&) = delete;

  virtual void setFaceName(RKString name);
  virtual RKString getFaceName();
  virtual void setHeight(int height);
  virtual int getHeight();
  virtual void setWidth(int width);
  virtual int getWidth();
  virtual void setWeight(int weight);
  virtual int getWeight();
  virtual void setItalic(u32 italic);
  virtual u32 getItalic();
  virtual void setUnderline(u32 underline);
  virtual u32 getUnderline();
  virtual void setStrikeOut(u32 strikeOut);
  virtual u32 getStrikeOut();
  virtual int equals(RKFont* other);
  virtual int reserved1();
  virtual void reserved2();
  virtual void setPointSize(u32 points);
  virtual u32 getPointSize();

  // A new font holding one reference for the caller: the face at the point size, weight 400;
  // null without the desktop's device context.
  static RKFont* create(RKString face, u32 points);
  // The face of the desktop's device context at 12 points, or null.
  static RKFont* createDefault();

 protected:
  ImplRKFont* impl;
};

}  // namespace RKSDK

#endif
