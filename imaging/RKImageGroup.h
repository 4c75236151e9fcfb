// The ordered images of one multi-image file (animation frames, icon entries) with the logical
// screen size of the file.
#ifndef RK_IMAGING_RKIMAGEGROUP_H
#define RK_IMAGING_RKIMAGEGROUP_H

#include "RKImage.h"
#include "RKObject.h"
#include "TRKVector.h"

namespace RKSDK {

class RKImageGroup : public virtual RKObject {
 public:
  RKImageGroup();
  ~RKImageGroup() override;

  virtual int getCount();
  // The image at index with a reference added; null out of range.
  virtual RKImage* getImage(int index);
  // Appends image with a reference added; null is ignored.
  virtual void addImage(RKImage* image);
  virtual void removeImage(int index);
  // Replaces the image at index (the old one released); null or a bad index changes nothing.
  virtual void setImage(int index, RKImage* image);
  // The stored width, or, when both stored values are 0, the widest image.
  virtual int getWidth();
  virtual void setWidth(int width);
  // The stored height, or, when both stored values are 0, the tallest image.
  virtual int getHeight();
  virtual void setHeight(int height);

  // A new group of clones of the images, one reference for the caller.
  RKImageGroup* clone() override;
  // Shares the other group's images (each with a reference added) and copies its stored size.
  RKImageGroup& operator=(const RKImageGroup& other);

 private:
  RKImageGroup(const RKImageGroup&) = delete;
  void removeAllImages();

  TRKVector<void*> m_frames;
  int m_width;
  int m_height;
};

}  // namespace RKSDK

#endif
