// Receiver of the events of component windows. Each operation takes the source (the
// component's root object) first; value arguments are the callee's own copies. A registered
// listener that answers 0 ends the delivery of that event (paints excepted). Every default
// body answers 1.
#ifndef RKSDK_IRKCOMPONENTLISTENER_H
#define RKSDK_IRKCOMPONENTLISTENER_H

#include "IRKGraphics.h"
#include "RKPoint.h"
#include "RKRect.h"
#include "RKString.h"
#include "TRKList.h"

namespace RKSDK {

class IRKComponentListener : public virtual RKObject {
 public:
  ~IRKComponentListener() override;

  virtual int paint(RKObject* source, RKRect area, IRKGraphics* graphics);
  virtual int paintFrame(RKObject* source, RKRect area, IRKGraphics* graphics);
  virtual int mousePressed(RKObject* source, RKPoint point);
  virtual int mouseReleased(RKObject* source, RKPoint point);
  virtual int mouseDoubleClicked(RKObject* source, RKPoint point);
  virtual int rightMousePressed(RKObject* source, RKPoint point);
  virtual int rightMouseReleased(RKObject* source, RKPoint point);
  virtual int rightMouseDoubleClicked(RKObject* source, RKPoint point);
  virtual int mouseMoved(RKObject* source, RKPoint point);
  virtual int focusGained(RKObject* source);
  virtual int focusLost(RKObject* source);
  virtual int cursorRequested(RKObject* source);
  virtual int keyTyped(RKObject* source, u8 character, u32 keyData);
  virtual int keyPressed(RKObject* source, u32 keysym, u32 keyData);
  virtual int keyReleased(RKObject* source, u32 keysym, u32 keyData);
  virtual int rectEvent(RKObject* source, RKRect area, IRKGraphics* graphics);
  virtual int componentResized(RKObject* source, u32 kind, u16 width, u16 height);
  virtual int componentMoved(RKObject* source, RKPoint location);
  virtual int windowClosing(RKObject* source);
  virtual int componentShown(RKObject* source, u32 shown, u32 status);
  virtual int componentDestroyed(RKObject* source);
  virtual int windowActivated(RKObject* source, u32 state, u32 minimized);
  virtual int componentCreated(RKObject* source);
  virtual int timerFired(RKObject* source);
  virtual int mouseActivated(RKObject* source);
  virtual int commandReceived(RKObject* source, u32 message, u32 wParam, u32 lParam);
  virtual int messageReceived(RKObject* source, u32 message, u32 wParam, u32 lParam);
  virtual int mouseExited(RKObject* source);
  virtual int mouseEntered(RKObject* source);
  virtual int mouseHovered(RKObject* source, RKPoint point);
  virtual int filesDropped(RKObject* source, TRKList<RKString> names);
  virtual int hotKeyPressed(RKObject* source, u32 id, u32 modifiers, u32 virtualKey);
};

}  // namespace RKSDK

#endif
