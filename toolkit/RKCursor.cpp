#include "RKCursor.h"

namespace RKSDK {

RKCursor::RKCursor() : kind(RK_CURSOR_DRAWN) { appendClassName("RKCursor"); }

RKCursor::~RKCursor() {}

u32 RKCursor::getKind() { return kind; }
void RKCursor::setKind(u32 k) { kind = k; }
int RKCursor::getWidth() { return 0; }
int RKCursor::getHeight() { return 0; }
int RKCursor::getHotSpotX() { return 0; }
int RKCursor::getHotSpotY() { return 0; }
int RKCursor::reserved1() { return 1; }
int RKCursor::reserved2() { return 1; }
const void* RKCursor::getANDPlane() { return nullptr; }
const void* RKCursor::getXORPlane() { return nullptr; }

u32 RKCursor::systemCursorId(u32 k) {
  switch (k) {
    case 0:
      return 32648;  // no
    case 12:
      return 32643;  // north-east / south-west sizing
    case 14:
      return 32642;  // north-west / south-east sizing
    case 16:
      return 32645;  // north / south sizing
    case 22:
      return 32516;  // up arrow
    case 30:
      return 32515;  // cross
    case 31:
      return 32649;  // hand
    case 52:
      return 32640;  // size
    case 53:
      return 32646;  // size all
    case 64:
      return 32641;  // icon
    case 68:
      return 32512;  // arrow
    case 70:
      return 32644;  // west / east sizing
    case 78:
      return 12;  // names no system cursor: the class gets none
    case 92:
      return 32651;  // help
    case 150:
      return 32650;  // app starting
    case 152:
      return 32513;  // I-beam
    default:
      return 0;
  }
}

}  // namespace RKSDK
