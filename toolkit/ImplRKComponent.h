// The native peer of a component: everything about its window (class, styles, title, colours,
// geometry, font, cursor, icons, caret, back buffer, component listeners, timer, handle). It
// registers the window class, creates and binds the window, turns every message into events for
// the listeners and the owner, and runs the thread's message loop.
#ifndef RKSDK_IMPLRKCOMPONENT_H
#define RKSDK_IMPLRKCOMPONENT_H

#include <windows.h>

#include "ComponentCaret.h"
#include "ComponentGraphics.h"
#include "IRKComponentListener.h"
#include "RKColor.h"
#include "RKCursor.h"
#include "RKFont.h"
#include "RKIcon.h"
#include "RKImage.h"
#include "RKPoint.h"
#include "RKRect.h"
#include "RKSize.h"
#include "RKString.h"
#include "TRKVector.h"

namespace RKSDK {

class RKComponent;
class ImplRKComponent;

// Private messages and the timer of every component window.
const UINT RK_MSG_ACTION_TO_PARENT = 0x2446;  // wParam RKPostedAction*, lParam action id
const UINT RK_COMPONENT_TIMER_ID = 0x2447;
const UINT RK_MSG_ACTION_TO_SELF = 0x2448;  // wParam parameter, lParam action id

// What a component's creation needs: the module instance and the parent's peer (null for a
// top-level window). getNativeInfo fills the same shape with the instance and the own window.
struct RKCreateInfo {
  HINSTANCE instance;
  void* parent;  // ImplRKComponent* for creation, HWND from getNativeInfo
};

// The record a child posts to its parent's window; freed by the receiving peer.
struct RKPostedAction {
  RKObject* source;
  u64 parameter;
};

class ImplRKComponent : public virtual RKObject {
 public:
  explicit ImplRKComponent(RKComponent* owner);
  ~ImplRKComponent() override;
  ImplRKComponent(const ImplRKComponent&) = delete;
  ImplRKComponent& operator=(const ImplRKComponent&) = delete;

  // Window class and window.
  virtual ATOM registerClass();
  virtual int createWindow();
  // Fetches, translates and dispatches until WM_QUIT or a failed fetch, sleeping 1 ms after
  // each message. Returns at once when this peer has no window: nothing could end the loop.
  virtual void runMessageLoop();
  // 1 asks for default processing; any other value is the window procedure's answer.
  virtual LRESULT dispatchMessage(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual int create(RKCreateInfo* info);
  virtual int getNativeInfo(RKCreateInfo* info);

  // Properties, kept before the window exists and applied to it when it does.
  virtual void setText(RKString text);
  virtual void setBackground(RKColor color);
  virtual void setForeground(RKColor color);
  virtual void setLocation(int x, int y, int repaint);
  virtual void setSize(int width, int height, int repaint);
  virtual void setBounds(int x, int y, int width, int height, int repaint);
  virtual void setWindowClassName(RKString name);
  virtual void setFont(RKFont* font);
  virtual int show(int activate);
  virtual int hide();
  virtual int enable();
  virtual int disable();
  virtual void maximize();
  virtual void minimize();
  virtual void restore();
  virtual void setCursor(RKCursor* cursor);
  virtual void setIcon(RKIcon* icon);
  virtual void setSmallIcon(RKIcon* icon);
  virtual RKPoint getLocationOnScreen();
  virtual RKString getText();
  virtual RKColor getBackground();
  virtual RKColor getForeground();
  virtual RKPoint getLocation();
  virtual RKSize getSize();
  virtual RKFont* getFont();
  virtual RKString getWindowClassName();
  virtual IRKCaret* getCaret();
  virtual IRKGraphics* getGraphics();
  virtual int copyToClipboard(RKString text);
  virtual int pasteFromClipboard(RKString& out);
  virtual int isKeyDown(int virtualKey);
  virtual int hasFocus();
  virtual int queryPeer();

  // Listeners, painting, input, timer and window operations.
  virtual void addComponentListener(IRKComponentListener* listener);
  virtual void removeComponentListener(IRKComponentListener* listener);
  virtual int isWindowCreated();
  virtual void redrawRect(RKRect rect);
  virtual void redraw();
  virtual void repaintRect(RKRect rect);
  virtual void repaint();
  virtual void captureMouse();
  virtual int hasMouseCapture();
  virtual void releaseMouse(int all);
  virtual int startTimer(u32 milliseconds);
  virtual void stopTimer();
  virtual void setWindowStyle(u32 kind);
  virtual void setWindowShape(RKImage* image, RKColor color);
  virtual int createChild(RKComponent* child);
  virtual void requestFocus();
  virtual RKSize getTextExtent(RKString text);
  virtual int getFontHeight();
  virtual void destroy();
  virtual void postClose();
  virtual void postQuit();
  virtual void disableParent();
  virtual void enableParent();
  virtual void activate();
  virtual void setTopMost(int on);
  virtual void bringToTop();
  virtual int postAction(u32 id, u64 parameter);
  virtual int postActionToParent(u32 id, u64 parameter);

  // Message handlers, one per message (see dispatchMessage).
  virtual LRESULT onSetCursor(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onLButtonDown(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onLButtonUp(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onLButtonDblClk(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onMouseMove(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onRButtonDown(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onRButtonUp(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onRButtonDblClk(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onActivate(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onNcPaint(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onCommand(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onPaint(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onCreate(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onDestroy(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onSize(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onClose(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onMove(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onKeyDown(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onKeyUp(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onEraseBackground(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onSetFocus(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onKillFocus(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onChar(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onMouseActivate(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onTimer(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onShowWindow(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onMessage(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onMouseLeave(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onMouseEnter(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onMouseHover(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onDropFiles(UINT message, WPARAM* wParam, LPARAM* lParam);
  virtual LRESULT onHotKey(UINT message, WPARAM* wParam, LPARAM* lParam);
  // The body of every message the toolkit leaves to the system: answers 1.
  virtual LRESULT ignoreMessage(UINT message, WPARAM* wParam, LPARAM* lParam);

  virtual void clearComponentListeners();
  virtual u32 translateKey(u32 virtualKey);

  static RKSize getScreenSize();
  // Type 1: OK and Cancel; any other: OK. The pressed button's identifier.
  static int messageBox(RKComponent* owner, RKString text, RKString caption, u32 type);
  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  // Uses of a window-class name counted by registerClass and not yet given back (0 when the
  // name is not registered by the toolkit).
  static int classUseCount(RKString name);
  // Mouse captures taken and not yet released, across all components.
  static int captureDepth();

 protected:
  // Delivers an event to each listener, then to the owner; see the answer rules.
  template <class Call>
  LRESULT deliverA(Call call);
  template <class Call>
  LRESULT deliverB(Call call);
  template <class Call>
  int walk(Call call, int* stoppedByListener);
  // Paints through every listener, then the owner; the owner's answer.
  template <class Call>
  int paintAll(Call call);
  LRESULT paintWindow(bool frame);
  void newBackBuffer();
  void giveBackClassUse();
  HICON makeIcon(RKIcon* icon);
  HCURSOR makeCursor(RKCursor* cursor);
  void freePostedActions();
  // Resets the shared capture count when the window that holds the capture goes.
  static void dropCaptureOf(HWND gone);
  RKObject* source();

  HINSTANCE instance;
  HWND window;
  HICON classIcon;
  HICON classSmallIcon;
  u32 exStyle;
  u32 style;
  u32 classStyle;
  ImplRKComponent* parentPeer;
  RKString title;
  RKColor background;
  RKColor foreground;
  RKPoint location;
  RKSize size;
  RKString windowClassName;
  RKFont* font;
  RKCursor* cursor;
  RKIcon* icon;
  RKIcon* smallIcon;
  u32 visible;
  ComponentCaret* caret;
  RKComponent* owner;
  TRKVector<IRKComponentListener*> listeners;
  u64 timerId;
  ComponentGraphics* graphics;
  u32 topMost;
  u32 mouseInside;
  u32 classRegistered;
};

}  // namespace RKSDK

#endif
