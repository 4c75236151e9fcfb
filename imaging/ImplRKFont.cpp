#include "ImplRKFont.h"

#include <cstdlib>
#include <cstring>

#include "RKFont.h"

namespace RKSDK {

ImplRKFont::ImplRKFont(RKFont* ownerFont)
    : height(0), width(0), weight(0), italic(0), underline(0), strikeOut(0), owner(ownerFont), pointSize(9) {}

ImplRKFont::~ImplRKFont() {}

void ImplRKFont::setFaceName(RKString name) { faceName = name; }
RKString ImplRKFont::getFaceName() { return faceName; }
void ImplRKFont::setHeight(int h) { height = h; }
int ImplRKFont::getHeight() { return std::abs(height); }
void ImplRKFont::setWidth(int w) { width = w; }
int ImplRKFont::getWidth() { return std::abs(width); }
void ImplRKFont::setWeight(int w) { weight = w; }
int ImplRKFont::getWeight() { return weight; }
void ImplRKFont::setItalic(u32 v) { italic = v; }
u32 ImplRKFont::getItalic() { return italic; }
void ImplRKFont::setUnderline(u32 v) { underline = v; }
u32 ImplRKFont::getUnderline() { return underline; }
void ImplRKFont::setStrikeOut(u32 v) { strikeOut = v; }
u32 ImplRKFont::getStrikeOut() { return strikeOut; }

int ImplRKFont::equals(RKFont* other) {
  if (!other) return 0;
  RKString otherFace = other->getFaceName();
  if (otherFace.length != faceName.length) return 0;
  if (faceName.length && std::memcmp(faceName.data, otherFace.data, faceName.length) != 0) return 0;
  return getHeight() == other->getHeight() && getWidth() == other->getWidth() && weight == other->getWeight() &&
                 italic == other->getItalic() && underline == other->getUnderline() &&
                 strikeOut == other->getStrikeOut()
             ? 1
             : 0;
}

bool ImplRKFont::heightForPoints(u32 points, int* h) {
  HWND desktop = GetDesktopWindow();
  if (!desktop) return false;
  HDC dc = GetWindowDC(desktop);
  if (!dc) return false;
  *h = -MulDiv(int(points), GetDeviceCaps(dc, LOGPIXELSY), 72);
  ReleaseDC(desktop, dc);
  return true;
}

void ImplRKFont::setPointSize(u32 points) {
  int h;
  if (!heightForPoints(points, &h)) return;
  setHeight(h);
  pointSize = points;
}

u32 ImplRKFont::getPointSize() { return pointSize; }

}  // namespace RKSDK
