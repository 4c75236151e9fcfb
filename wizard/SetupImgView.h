// A picture panel of the wizard that writes a bold title and a description over its picture.
#ifndef RKSDK_SETUPIMGVIEW_H
#define RKSDK_SETUPIMGVIEW_H

#include "RKPicture.h"
#include "RKString.h"

namespace RKSDK {

class SetupImgView : public virtual RKPicture {
 public:
  SetupImgView();
  ~SetupImgView() override;

  // Stores both texts and repaints the panel.
  virtual void setTexts(RKString newTitle, RKString newDescription);
  u32 paint(RKRect area, IRKGraphics* graphics) override;

  RKString title;
  RKString description;
};

}  // namespace RKSDK

#endif
