// The class icon or small icon of a top-level window: a system icon (kinds 0 to 8), an icon
// file (kind 9) or an icon built from bits (kind 10).
#ifndef RKSDK_RKICON_H
#define RKSDK_RKICON_H

#include "RKObject.h"
#include "RKString.h"

namespace RKSDK {

const u32 RK_ICON_FILE = 9;
const u32 RK_ICON_BITS = 10;

class RKIcon : public virtual RKObject {
 public:
  RKIcon();
  ~RKIcon() override;

  virtual u32 getKind();
  virtual void setKind(u32 kind);
  // Kind 9 with the file's path.
  virtual void setFile(RKString path);
  // Kind 9: the file name; kinds 0 to 8: the system icon identifier as a resource; else null.
  virtual const char* getResource();
  virtual int getWidth();
  virtual int getHeight();
  virtual int getPlanes();
  virtual int getBitsPerPixel();
  virtual const BYTE* getANDBits();
  virtual const BYTE* getXORBits();

 protected:
  u32 kind;
  RKString fileName;
};

}  // namespace RKSDK

#endif
