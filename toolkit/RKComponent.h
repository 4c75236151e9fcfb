// The component facade: base of every widget and window. It owns its native peer, forwards the
// native operations to it, keeps the facade's flags and its action listeners, raises actions,
// and receives the events of its own window last, through its own listener part, which routes
// them to the handler operations that subclasses override.
#ifndef RKSDK_RKCOMPONENT_H
#define RKSDK_RKCOMPONENT_H

#include "IRKActionListener.h"
#include "IRKComponentListener.h"
#include "ImplRKComponent.h"

namespace RKSDK {

// Action identifiers of the toolkit.
const u32 RK_ACTION_BUTTON_CLICKED = 0x4100701;
const u32 RK_ACTION_TEXT_CHANGED = 0x4100901;
const u32 RK_ACTION_THUMB_MOVED = 0x4101103;
const u32 RK_ACTION_SCROLL_BOX_MOVED = RK_ACTION_THUMB_MOVED;
const u32 RK_ACTION_CHECKBOX_TOGGLED = 0x4101201;
const u32 RK_ACTION_RADIO_SELECTED = 0x4101202;
const u32 RK_ACTION_SCROLL_VALUE_CHANGED = 0x4101301;
const u32 RK_ACTION_LIST_SELECTION_CHANGED = 0x4101801;
const u32 RK_ACTION_COMBO_SELECTION_CHANGED = 0x4101901;
const u32 RK_ACTION_THUMB_RELEASED = 0x8020402;
const u32 RK_ACTION_PICTURE_PRESSED = 0x8083001;
const u32 RK_ACTION_DROPDOWN_TAB = 0x8090601;
const u32 RK_ACTION_DROPDOWN_RETURN = 0x8090602;
const u32 RK_ACTION_DROPDOWN_ESCAPE = 0x8090603;
const u32 RK_ACTION_COMBO_TAB = RK_ACTION_DROPDOWN_TAB;
const u32 RK_ACTION_COMBO_ENTER = RK_ACTION_DROPDOWN_RETURN;
const u32 RK_ACTION_COMBO_ESCAPE = RK_ACTION_DROPDOWN_ESCAPE;
const u32 RK_ACTION_LIST_ITEM_ACTIVATED = 0x8091301;
const u32 RK_ACTION_ARROW_PRESSED = 0x108241;
const u32 RK_ACTION_ARROW_RELEASED = 0x108242;

// Window style kinds of setWindowStyle.
const u32 RK_STYLE_POPUP_SYSMENU = 0;
const u32 RK_STYLE_CHILD = 1;
const u32 RK_STYLE_OVERLAPPED = 2;
const u32 RK_STYLE_CLIP_SYSMENU = 3;
const u32 RK_STYLE_CLIP = 4;
const u32 RK_STYLE_SYSMENU_MINIMIZE = 5;
const u32 RK_STYLE_POPUP = 6;

class RKComponent : public virtual RKObject, public virtual IRKComponentListener, public virtual IRKActionListener {
 public:
  RKComponent();
  ~RKComponent() override;
  RKComponent(const RKComponent&) = delete;
  RKComponent& operator=(const RKComponent&) = delete;

  // The window text (a top-level window's title). Widgets with a label text of their own
  // store that text elsewhere.
  virtual void setText(RKString text);
  virtual void setBackground(RKColor color);
  virtual void setForeground(RKColor color);
  virtual void setLocation(int x, int y, int repaint);
  virtual void setLocation(RKPoint point, int repaint);
  virtual void setSize(int width, int height, int repaint);
  virtual void setSize(RKSize size, int repaint);
  virtual void setBounds(RKRect rect, int repaint);
  virtual void setBounds(int x, int y, int width, int height, int repaint);
  virtual void setFont(RKFont* font);
  virtual void setWindowClassName(RKString name);
  virtual int show(int activate);
  virtual int hide();
  virtual int enable();
  virtual int disable();
  virtual u32 isVisible();
  virtual u32 isDisabled();
  virtual u32 isCreated();
  virtual RKPoint getLocationOnScreen();
  virtual void setFocusable(u32 focusable);
  virtual void setCursor(RKCursor* cursor);
  virtual void setIcon(RKIcon* icon);
  virtual void setSmallIcon(RKIcon* icon);
  virtual RKString getText();
  virtual RKColor getBackground();
  virtual RKColor getForeground();
  virtual RKPoint getLocation();
  virtual RKSize getSize();
  virtual RKFont* getFont();
  virtual RKString getWindowClassName();
  virtual IRKCaret* getCaret();
  virtual IRKGraphics* getGraphics();
  virtual u32 hasFocus();
  virtual u32 queryPeer();
  virtual RKSize getTextExtent(RKString text);
  virtual u32 getFontHeight();
  virtual void setInheritedFlag(u32 flag);
  virtual void setWindowStyle(u32 kind);
  virtual void requestFocus();
  virtual u32 copyToClipboard(RKString text);
  // The clipboard's text, or the empty text when it holds none.
  virtual RKString pasteFromClipboard();
  virtual u32 isKeyDown(u32 virtualKey);
  virtual void onBeforeCreate();
  virtual void onAfterCreate();
  virtual u32 createChild(RKComponent* child);
  virtual u32 create(RKCreateInfo info);
  virtual void destroy();
  virtual u32 getNativeInfo(RKCreateInfo* info);
  virtual void addComponentListener(IRKComponentListener* listener);
  virtual void removeComponentListener(IRKComponentListener* listener);
  virtual void addActionListener(IRKActionListener* listener);
  virtual void removeActionListener(IRKActionListener* listener);
  virtual void redraw(RKRect rect);
  virtual void redraw();
  virtual void repaint(RKRect rect);
  virtual void repaint();
  virtual void captureMouse();
  virtual void releaseMouse(u32 all);
  virtual u32 hasMouseCapture();
  virtual u32 startTimer(u32 milliseconds);
  virtual void stopTimer();
  virtual void fireAction(RKObject* source, u32 id, u64 parameter);
  virtual void fireAction(u32 id, u64 parameter);
  virtual void postAction(u32 id, u64 parameter);
  virtual void postActionToParent(u32 id, u64 parameter);
  virtual u32 removeAllActionListeners();
  virtual void setWindowShape(RKImage* image, RKColor color);

  // Event handlers: the component's own reaction to the events of its window.
  virtual u32 paint(RKRect area, IRKGraphics* graphics);
  virtual u32 mousePressed(RKPoint point);
  virtual u32 mouseReleased(RKPoint point);
  virtual u32 mouseDoubleClicked(RKPoint point);
  virtual u32 rightMousePressed(RKPoint point);
  virtual u32 rightMouseReleased(RKPoint point);
  virtual u32 rightMouseDoubleClicked(RKPoint point);
  virtual u32 mouseMoved(RKPoint point);
  virtual u32 focusGained();
  virtual u32 focusLost();
  virtual u32 cursorRequested();
  virtual u32 keyTyped(u8 character, u32 keyData);
  virtual u32 keyPressed(u32 keysym, u32 keyData);
  virtual u32 keyReleased(u32 keysym, u32 keyData);
  virtual u32 rectEvent(RKRect area, IRKGraphics* graphics);
  virtual u32 componentResized(u32 kind, u16 width, u16 height);
  virtual u32 componentMoved(RKPoint location);
  virtual u32 windowClosing();
  virtual u32 componentShown(u32 shown, u32 status);
  virtual u32 componentDestroyed();
  virtual u32 windowActivated(u32 state, u32 minimized);
  virtual u32 componentCreated();
  virtual u32 timerFired();
  virtual u32 mouseActivated();
  virtual u32 commandReceived(u32 message, u32 wParam, u32 lParam);
  virtual u32 messageReceived(u32 message, u32 wParam, u32 lParam);
  virtual u32 mouseExited();
  virtual u32 mouseEntered();
  virtual u32 mouseHovered(RKPoint point);
  virtual u32 filesDropped(TRKList<RKString> names);
  virtual u32 hotKeyPressed(u32 id, u32 modifiers, u32 virtualKey);
  virtual u32 update(RKRect area, IRKGraphics* graphics);

  // The clipboard's text into out: 1, or 0 when it holds none.
  int pasteFromClipboard(RKString& out);

  static RKSize getScreenSize();
  static int messageBox(RKComponent* owner, RKString text, RKString caption, u32 kind);

  // The listener part: events whose source is this component go to the handlers above.
  int paint(RKObject* source, RKRect area, IRKGraphics* graphics) override;
  int paintFrame(RKObject* source, RKRect area, IRKGraphics* graphics) override;
  int mousePressed(RKObject* source, RKPoint point) override;
  int mouseReleased(RKObject* source, RKPoint point) override;
  int mouseDoubleClicked(RKObject* source, RKPoint point) override;
  int rightMousePressed(RKObject* source, RKPoint point) override;
  int rightMouseReleased(RKObject* source, RKPoint point) override;
  int rightMouseDoubleClicked(RKObject* source, RKPoint point) override;
  int mouseMoved(RKObject* source, RKPoint point) override;
  int focusGained(RKObject* source) override;
  int focusLost(RKObject* source) override;
  int cursorRequested(RKObject* source) override;
  int keyTyped(RKObject* source, u8 character, u32 keyData) override;
  int keyPressed(RKObject* source, u32 keysym, u32 keyData) override;
  int keyReleased(RKObject* source, u32 keysym, u32 keyData) override;
  int rectEvent(RKObject* source, RKRect area, IRKGraphics* graphics) override;
  int componentResized(RKObject* source, u32 kind, u16 width, u16 height) override;
  int componentMoved(RKObject* source, RKPoint location) override;
  int windowClosing(RKObject* source) override;
  int componentShown(RKObject* source, u32 shown, u32 status) override;
  int componentDestroyed(RKObject* source) override;
  int windowActivated(RKObject* source, u32 state, u32 minimized) override;
  int componentCreated(RKObject* source) override;
  int timerFired(RKObject* source) override;
  int mouseActivated(RKObject* source) override;
  int commandReceived(RKObject* source, u32 message, u32 wParam, u32 lParam) override;
  int messageReceived(RKObject* source, u32 message, u32 wParam, u32 lParam) override;
  int mouseExited(RKObject* source) override;
  int mouseEntered(RKObject* source) override;
  int mouseHovered(RKObject* source, RKPoint point) override;
  int filesDropped(RKObject* source, TRKList<RKString> names) override;
  int hotKeyPressed(RKObject* source, u32 id, u32 modifiers, u32 virtualKey) override;

  // The action-listener part: answers 1; windows that act on their children override it.
  int actionPerformed(RKObject* source, u32 id, u64 parameter) override;

 protected:
  // Whether an event's source is this component.
  bool isSelf(RKObject* source) { return source == static_cast<RKObject*>(this); }
  // The focus a left press takes: the window gets it when the component is focusable and enabled.
  void takeFocusOnPress();
  // For widgets that count the press of a double click as a press: the focus as a press takes
  // it, then the own press handler, whose result is returned.
  u32 doubleClickPress(RKPoint point);

  TRKVector<IRKActionListener*> actionListeners;
  u32 disabled;
  u32 visible;
  u32 focusable;
  u32 look3D;
  u32 created;
  ImplRKComponent* peer;
};

}  // namespace RKSDK

#endif
