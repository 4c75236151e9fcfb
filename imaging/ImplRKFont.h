// The values behind an RKFont, with the point-size arithmetic against the screen resolution.
#ifndef RKSDK_IMPLRKFONT_H
#define RKSDK_IMPLRKFONT_H

#include "RKObject.h"
#include "RKString.h"

namespace RKSDK {

class RKFont;

class ImplRKFont : public virtual RKObject {
 public:
  explicit ImplRKFont(RKFont* owner);
  ~ImplRKFont() override;

  virtual void setFaceName(RKString name);
  virtual RKString getFaceName();
  // The height keeps its sign (negative: character height, positive: cell height); the getter
  // gives its absolute value. Likewise the width.
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
  // 1 when the other font has the same face name (bytes, case-sensitive), absolute height and
  // width, weight, italic, underline and strike-out; the point size is not compared.
  virtual int equals(RKFont* other);
  // Height = -(points x vertical dpi of the desktop / 72), rounded; without the desktop's
  // device context nothing changes.
  virtual void setPointSize(u32 points);
  virtual u32 getPointSize();

  // Records the point size without recomputing the height (the factory has set it already).
  void recordPointSize(u32 points) { pointSize = points; }

  // Height in pixels for a point size on the desktop; false without the desktop's DC.
  static bool heightForPoints(u32 points, int* height);

 protected:
  RKString faceName;
  i32 height;
  i32 width;
  i32 weight;
  u32 italic;
  u32 underline;
  u32 strikeOut;
  RKFont* owner;
  u32 pointSize;
};

}  // namespace RKSDK

#endif
