// Regions as a coverage mask over a bounding box: enough for window shapes cut pixel by pixel.
#include "gdi_private.h"

#include <algorithm>

namespace rkgdi {

struct Region : Object {
  Region() : Object(Kind::Region) {}
  RECT box = {0, 0, 0, 0};  // mask area
  std::vector<uint8_t> mask;
  bool at(int x, int y) const {
    return x >= box.left && y >= box.top && x < box.right && y < box.bottom &&
           mask[size_t(y - box.top) * size_t(box.right - box.left) + size_t(x - box.left)];
  }
  void set(const RECT& r) {
    box = r;
    if (box.right < box.left) std::swap(box.left, box.right);
    if (box.bottom < box.top) std::swap(box.top, box.bottom);
    mask.assign(size_t(box.right - box.left) * size_t(box.bottom - box.top), 1);
  }
  // The smallest box holding every set pixel (empty when none).
  RECT bounds() const {
    RECT b = {0, 0, 0, 0};
    bool any = false;
    int w = box.right - box.left;
    for (int y = box.top; y < box.bottom; ++y)
      for (int x = box.left; x < box.right; ++x)
        if (mask[size_t(y - box.top) * size_t(w) + size_t(x - box.left)]) {
          if (!any) b = {x, y, x + 1, y + 1};
          b.left = std::min<LONG>(b.left, x);
          b.top = std::min<LONG>(b.top, y);
          b.right = std::max<LONG>(b.right, x + 1);
          b.bottom = std::max<LONG>(b.bottom, y + 1);
          any = true;
        }
    return b;
  }
  int complexity() const {
    RECT b = bounds();
    if (b.right <= b.left) return NULLREGION;
    for (int y = b.top; y < b.bottom; ++y)
      for (int x = b.left; x < b.right; ++x)
        if (!at(x, y)) return COMPLEXREGION;
    return SIMPLEREGION;
  }
};

static Region* region(HRGN h) { return static_cast<Region*>(lookup(h, Kind::Region)); }

}  // namespace rkgdi

using namespace rkgdi;

HRGN WINAPI CreateRectRgn(int x1, int y1, int x2, int y2) {
  auto* r = new Region;
  r->set(RECT{x1, y1, x2, y2});
  return reinterpret_cast<HRGN>(adoptObject(r));
}

HRGN WINAPI CreateRectRgnIndirect(const RECT* rect) {
  if (!rect) return nullptr;
  return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

BOOL WINAPI SetRectRgn(HRGN h, int left, int top, int right, int bottom) {
  Region* r = region(h);
  if (!r) return FALSE;
  r->set(RECT{left, top, right, bottom});
  return TRUE;
}

int WINAPI CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode) {
  Region* d = region(dest);
  Region* a = region(src1);
  Region* b = mode == RGN_COPY ? a : region(src2);
  if (!d || !a || !b || mode < RGN_AND || mode > RGN_COPY) return ERROR;
  // The common case of a window shape: toggling pixels inside the destination's own box.
  if (d == a && mode == RGN_XOR && b != d && b->box.left >= d->box.left && b->box.top >= d->box.top &&
      b->box.right <= d->box.right && b->box.bottom <= d->box.bottom) {
    int dw = d->box.right - d->box.left;
    for (int y = b->box.top; y < b->box.bottom; ++y)
      for (int x = b->box.left; x < b->box.right; ++x)
        if (b->at(x, y)) d->mask[size_t(y - d->box.top) * size_t(dw) + size_t(x - d->box.left)] ^= 1;
    return d->complexity();
  }
  RECT box;
  if (mode == RGN_COPY)
    box = a->box;
  else
    box = {std::min(a->box.left, b->box.left), std::min(a->box.top, b->box.top), std::max(a->box.right, b->box.right),
           std::max(a->box.bottom, b->box.bottom)};
  std::vector<uint8_t> out(size_t(box.right - box.left) * size_t(box.bottom - box.top), 0);
  for (int y = box.top; y < box.bottom; ++y)
    for (int x = box.left; x < box.right; ++x) {
      bool pa = a->at(x, y), pb = b->at(x, y), v = false;
      switch (mode) {
        case RGN_AND:
          v = pa && pb;
          break;
        case RGN_OR:
          v = pa || pb;
          break;
        case RGN_XOR:
          v = pa != pb;
          break;
        case RGN_DIFF:
          v = pa && !pb;
          break;
        default:
          v = pa;
          break;
      }
      out[size_t(y - box.top) * size_t(box.right - box.left) + size_t(x - box.left)] = v;
    }
  d->box = box;
  d->mask.swap(out);
  return d->complexity();
}

BOOL WINAPI PtInRegion(HRGN h, int x, int y) {
  Region* r = region(h);
  return r && r->at(x, y);
}

int WINAPI GetRgnBox(HRGN h, LPRECT rect) {
  Region* r = region(h);
  if (!r || !rect) return ERROR;
  *rect = r->bounds();
  return r->complexity();
}
