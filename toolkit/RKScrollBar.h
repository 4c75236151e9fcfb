// The scroll bar: an integer value in a range with a visible amount that sets the thumb's
// length. Two arrow buttons step it, presses in the track page it, the thumb drags it; holding
// an arrow or the track repeats by the component timer. Every change the user makes posts
// RK_ACTION_SCROLL_VALUE_CHANGED to the parent; values set by the program post nothing.
#ifndef RKSDK_RKSCROLLBAR_H
#define RKSDK_RKSCROLLBAR_H

#include "RKArrowButton.h"
#include "RKContainer.h"
#include "RKScrollBarBox.h"

namespace RKSDK {

class RKScrollBar : public virtual RKContainer {
 public:
  RKScrollBar();
  explicit RKScrollBar(u32 orientation);
  ~RKScrollBar() override;

  using RKContainer::paint;
  using RKContainer::mousePressed;
  using RKComponent::mouseReleased;
  using RKComponent::mouseDoubleClicked;
  using RKComponent::mouseMoved;
  using RKComponent::componentResized;
  using RKComponent::timerFired;
  using RKComponent::setSize;

  virtual void setOrientation(u32 orientation);
  // Ignored unless above the minimum; a value beyond the new maximum less the visible amount
  // is pulled back to it.
  virtual void setMaximum(int maximum);
  virtual int getMaximum();
  // Ignored unless below the maximum; the value is raised to it when below.
  virtual void setMinimum(int minimum);
  virtual int getMinimum();
  // Clamps to the range and moves the thumb; posts nothing.
  virtual void setValue(int value);
  virtual int getValue();
  virtual void setVisibleAmount(int amount);
  virtual int getVisibleAmount();
  virtual void setUnitIncrement(int increment);
  virtual int getUnitIncrement();
  // Stored only when greater than 0.
  virtual void setRepeatInterval(int milliseconds);
  // Part replacement: the old part leaves the container, the new one joins it.
  virtual void setIncrementButton(RKArrowButton* button);
  virtual RKArrowButton* getIncrementButton();
  virtual void setDecrementButton(RKArrowButton* button);
  virtual RKArrowButton* getDecrementButton();
  virtual void setThumb(RKScrollBarBox* thumb);
  virtual RKScrollBarBox* getThumb();
  virtual void setTrackColor(RKColor color);
  virtual void initialize();
  virtual void layoutArrows();
  virtual void layoutThumb();
  virtual void valueChanged();
  // The value that the thumb's position stands for (not stored).
  virtual int valueFromThumb();

  void setSize(int width, int height, int repaint) override;
  void onAfterCreate() override;
  u32 paint(RKRect area, IRKGraphics* graphics) override;
  u32 mousePressed(RKPoint point) override;
  u32 mouseReleased(RKPoint point) override;
  // The press of a double click on the track is a press: two quick clicks page twice.
  u32 mouseDoubleClicked(RKPoint point) override;
  u32 mouseMoved(RKPoint point) override;
  u32 componentResized(u32 kind, u16 width, u16 height) override;
  u32 timerFired() override;
  int actionPerformed(RKObject* source, u32 id, u64 parameter) override;

  u32 getOrientation() { return orientation; }
  int getRepeatInterval() { return repeatInterval; }
  u32 getPressedSide() { return pressedSide; }
  u32 getRepeatKind() { return repeatKind; }

 protected:
  bool vertical() { return orientation != 0; }
  // Length of the track between the two buttons along the bar's axis.
  int trackLength();
  // Steps of the arrows and the track, clamped as the user's changes are.
  void stepUp();
  void stepDown();
  void pageDown();
  void pageUp();

  u32 orientation;
  int maximum;
  int minimum;
  int value;
  int visibleAmount;
  int unitIncrement;
  int repeatInterval;
  RKColor trackColor;
  u32 trackPressed;
  u32 pressedSide;
  u32 repeatKind;
  RKArrowButton* incrementButton;
  RKArrowButton* decrementButton;
  RKScrollBarBox* thumb;
};

}  // namespace RKSDK

#endif
