#include "RKIcon.h"

namespace RKSDK {

RKIcon::RKIcon() : kind(0) { appendClassName("RKIcon"); }

RKIcon::~RKIcon() {}

u32 RKIcon::getKind() { return kind; }
void RKIcon::setKind(u32 k) { kind = k; }

void RKIcon::setFile(RKString path) {
  kind = RK_ICON_FILE;
  fileName = path;
}

const char* RKIcon::getResource() {
  static const WORD ids[9] = {32512, 32516, 32513, 32515, 32513, 32516, 32514, 32515, 32517};
  if (kind == RK_ICON_FILE) return fileName.data ? fileName.data : "";
  if (kind < 9) return MAKEINTRESOURCEA(ids[kind]);
  return nullptr;
}

int RKIcon::getWidth() { return 0; }
int RKIcon::getHeight() { return 0; }
int RKIcon::getPlanes() { return 1; }
int RKIcon::getBitsPerPixel() { return 24; }
const BYTE* RKIcon::getANDBits() { return nullptr; }
const BYTE* RKIcon::getXORBits() { return nullptr; }

}  // namespace RKSDK
