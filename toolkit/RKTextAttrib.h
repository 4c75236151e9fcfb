// Records of the multi-line text view: a run of text in one colour and font, and a position
// in the text (line, pixel offset in the line, byte column).
#ifndef RKSDK_RKTEXTATTRIB_H
#define RKSDK_RKTEXTATTRIB_H

#include "RKColor.h"
#include "RKFont.h"
#include "RKString.h"

namespace RKSDK {

class RKTextAttrib : public virtual RKObject {
 public:
  // Keeps a reference on the font.
  RKTextAttrib(RKColor color, RKFont* font, const RKString& text);
  ~RKTextAttrib() override;
  RKTextAttrib(const RKTextAttrib&) = delete;
  RKTextAttrib& operator=(const RKTextAttrib&) = delete;

  // Whether the run has this colour (all four bytes) and a font equal to this one.
  bool hasStyle(RKColor color, RKFont* font);

  RKColor color;
  RKString text;
  RKFont* font;
  u32 width;
};

class RKTSIndex : public virtual RKObject {
 public:
  RKTSIndex() : line(0), x(0), column(0) {}
  RKTSIndex(u32 l, u32 px, u32 c) : line(l), x(px), column(c) {}
  RKTSIndex(const RKTSIndex& o) : RKObject(), line(o.line), x(o.x), column(o.column) {}
  RKTSIndex& operator=(const RKTSIndex& o) {
    line = o.line;
    x = o.x;
    column = o.column;
    return *this;
  }
  virtual void reset() { line = x = column = 0; }
  bool operator==(const RKTSIndex& o) const { return line == o.line && x == o.x && column == o.column; }

  u32 line;
  u32 x;
  u32 column;
};

}  // namespace RKSDK

#endif
