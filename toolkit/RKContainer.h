// A component holding an ordered set of child components, each with its own child window
// inside the container's window. It keeps one reference on each child, listens to each child
// once both windows exist, creates the children's windows after its own, and passes its font
// and 3-D look on to them.
#ifndef RKSDK_RKCONTAINER_H
#define RKSDK_RKCONTAINER_H

#include "RKDesignComponent.h"
#include "TRKVector.h"

namespace RKSDK {

class RKContainer : public virtual RKDesignComponent {
 public:
  RKContainer();
  ~RKContainer() override;

  using RKDesignComponent::paint;
  using RKDesignComponent::mousePressed;
  using RKDesignComponent::componentDestroyed;

  // Adds a reference and appends the child; once the container exists the child is wired,
  // given the font and created at once. A null child is ignored.
  virtual void add(RKComponent* child);
  // A child that is not held is ignored.
  virtual void remove(RKComponent* child);
  virtual void removeAll();
  virtual u32 getChildCount();
  // The first child whose rectangle (edges included) holds the point, with a reference
  // added for the caller; null when none does.
  virtual RKComponent* getChildAt(RKPoint point);
  virtual RKComponent* getChildAt(int x, int y);

  void setFocusable(u32 focusable) override;
  u32 hasFocus() override;
  void setInheritedFlag(u32 flag) override;
  void onAfterCreate() override;
  void redraw() override;
  void redraw(RKRect rect) override;
  u32 paint(RKRect area, IRKGraphics* graphics) override;
  u32 componentDestroyed() override;
  int mousePressed(RKObject* source, RKPoint point) override;

 protected:
  TRKVector<RKComponent*> children;
  // The container's window exists and its children were created.
  u32 childrenCreated;
};

}  // namespace RKSDK

#endif
