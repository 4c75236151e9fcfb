#include "RKFont.h"

#include "ImplRKFont.h"

namespace RKSDK {

RKFont::RKFont() : impl(new ImplRKFont(this)) { appendClassName("RKFont"); }

RKFont::~RKFont() { delete impl; }

void RKFont::setFaceName(RKString name) { impl->setFaceName(name); }
RKString RKFont::getFaceName() { return impl->getFaceName(); }
void RKFont::setHeight(int height) { impl->setHeight(height); }
int RKFont::getHeight() { return impl->getHeight(); }
void RKFont::setWidth(int width) { impl->setWidth(width); }
int RKFont::getWidth() { return impl->getWidth(); }
void RKFont::setWeight(int weight) { impl->setWeight(weight); }
int RKFont::getWeight() { return impl->getWeight(); }
void RKFont::setItalic(u32 italic) { impl->setItalic(italic); }
u32 RKFont::getItalic() { return impl->getItalic(); }
void RKFont::setUnderline(u32 underline) { impl->setUnderline(underline); }
u32 RKFont::getUnderline() { return impl->getUnderline(); }
void RKFont::setStrikeOut(u32 strikeOut) { impl->setStrikeOut(strikeOut); }
u32 RKFont::getStrikeOut() { return impl->getStrikeOut(); }
int RKFont::equals(RKFont* other) { return impl->equals(other); }
int RKFont::reserved1() { return 0; }
void RKFont::reserved2() {}
void RKFont::setPointSize(u32 points) { impl->setPointSize(points); }
u32 RKFont::getPointSize() { return impl->getPointSize(); }

RKFont* RKFont::create(RKString face, u32 points) {
  int height;
  if (!ImplRKFont::heightForPoints(points, &height)) return nullptr;
  RKFont* font = new RKFont();
  font->addRef();
  font->setHeight(height);
  font->setWidth(0);
  font->setWeight(400);
  font->setItalic(0);
  font->setUnderline(0);
  font->setStrikeOut(0);
  font->setFaceName(face);
  font->impl->recordPointSize(points);
  return font;
}

RKFont* RKFont::createDefault() {
  HWND desktop = GetDesktopWindow();
  if (!desktop) return nullptr;
  HDC dc = GetWindowDC(desktop);
  if (!dc) return nullptr;
  char face[256] = {0};
  int got = GetTextFaceA(dc, 256, face);
  ReleaseDC(desktop, dc);
  if (got <= 0) return nullptr;
  return create(RKString(face), 12);
}

}  // namespace RKSDK
