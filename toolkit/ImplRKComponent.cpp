#include "ImplRKComponent.h"

#include <shellapi.h>

#include <new>
#include <string.h>

#include "RKComponent.h"
#include "TRKMap.h"

namespace RKSDK {

namespace {

// Window-class name -> uses counted by registerClass and not yet given back. Guarded by the
// map's own object lock. Counts still held at program end are freed with the map.
struct ClassUseMap : TRKMap<RKString, int*> {
  ~ClassUseMap() override {
    for (int more = moveFirst(); more; more = moveNext()) delete getCurrentValue();
  }
};

TRKMap<RKString, int*>& classUses() {
  static ClassUseMap uses;
  return uses;
}

// Mouse captures taken and not yet released, shared by all components, and the window that
// took the last one (the one holding the capture while the count is above 0).
int captureCount = 0;
HWND captureWindow = nullptr;

RKColor systemColor(int index) {
  RKColor c;
  c.setABGR(GetSysColor(index));
  return c;
}

}  // namespace

ImplRKComponent::ImplRKComponent(RKComponent* ownerComponent)
    : instance(nullptr),
      window(nullptr),
      classIcon(nullptr),
      classSmallIcon(nullptr),
      exStyle(0),
      style(WS_CHILD),
      classStyle(CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC | CS_SAVEBITS),
      parentPeer(nullptr),
      title("RKComponent"),
      background(systemColor(COLOR_BTNFACE)),
      foreground(systemColor(COLOR_WINDOWTEXT)),
      location(0, 0),
      size(0, 0),
      windowClassName("RKComponent"),
      font(RKFont::createDefault()),
      cursor(new (std::nothrow) RKCursor()),
      icon(new (std::nothrow) RKIcon()),
      smallIcon(new (std::nothrow) RKIcon()),
      visible(1),
      caret(new (std::nothrow) ComponentCaret()),
      owner(ownerComponent),
      timerId(0),
      graphics(new (std::nothrow) ComponentGraphics()),
      topMost(0),
      mouseInside(0),
      classRegistered(0) {
  if (cursor) {
    cursor->addRef();
    cursor->setKind(RK_CURSOR_ARROW);
  }
  if (icon) icon->addRef();
  if (smallIcon) smallIcon->addRef();
  if (caret) caret->addRef();
  if (graphics) graphics->addRef();
}

// Releases a held object and forgets it, so that messages still delivered while the window
// goes find nothing instead of freed memory.
template <class T>
static void dropRef(T*& object) {
  T* o = object;
  object = nullptr;
  if (o) o->release();
}

ImplRKComponent::~ImplRKComponent() {
  clearComponentListeners();
  dropRef(font);
  dropRef(cursor);
  dropRef(caret);
  dropRef(icon);
  dropRef(smallIcon);
  dropRef(graphics);
  if (classIcon) DestroyIcon(classIcon);
  if (classSmallIcon) DestroyIcon(classSmallIcon);
  classIcon = classSmallIcon = nullptr;
  if (window) DestroyWindow(window);
  window = nullptr;
  giveBackClassUse();
}

RKObject* ImplRKComponent::source() { return static_cast<RKObject*>(owner); }

// ---- window class and window ----

int ImplRKComponent::create(RKCreateInfo* info) {
  instance = info ? info->instance : nullptr;
  parentPeer = info ? static_cast<ImplRKComponent*>(info->parent) : nullptr;
  if (registerClass()) classRegistered = 1;
  return createWindow() ? 1 : 0;
}

HICON ImplRKComponent::makeIcon(RKIcon* i) {
  if (!i) return nullptr;
  switch (i->getKind()) {
    case RK_ICON_BITS:
      return CreateIcon(instance, i->getWidth(), i->getHeight(), BYTE(i->getPlanes()), BYTE(i->getBitsPerPixel()),
                        i->getANDBits(), i->getXORBits());
    case RK_ICON_FILE:
      return static_cast<HICON>(LoadImageA(instance, i->getResource(), IMAGE_ICON, 64, 64, LR_LOADFROMFILE));
    default:
      return LoadIconA(nullptr, i->getResource());
  }
}

HCURSOR ImplRKComponent::makeCursor(RKCursor* c) {
  if (!c) return nullptr;
  u32 kind = c->getKind();
  if (kind == RK_CURSOR_DRAWN)
    return CreateCursor(instance, c->getHotSpotX(), c->getHotSpotY(), c->getWidth(), c->getHeight(), c->getANDPlane(),
                        c->getXORPlane());
  return LoadCursorA(nullptr, MAKEINTRESOURCEA(RKCursor::systemCursorId(kind)));
}

ATOM ImplRKComponent::registerClass() {
  TRKMap<RKString, int*>& uses = classUses();
  uses.lock(RK_WAIT_FOREVER);
  int* count = nullptr;
  if (uses.get(windowClassName, count) && count) {
    ++*count;
    uses.unlock();
    return 1;
  }
  count = new (std::nothrow) int(1);
  if (!count || !uses.put(windowClassName, count)) {
    delete count;
    uses.unlock();
    return 0;
  }
  uses.unlock();

  WNDCLASSEXA wc;
  memset(&wc, 0, sizeof(wc));
  wc.cbSize = sizeof(WNDCLASSEXA);
  wc.style = classStyle;
  wc.lpfnWndProc = windowProc;
  wc.hInstance = instance;
  wc.lpszClassName = windowClassName.data;
  if (!classIcon) {
    if (parentPeer) {
      if (!(style & WS_CHILD)) classIcon = CopyIcon(parentPeer->classIcon);
    } else {
      classIcon = makeIcon(icon);
    }
  }
  if (!classSmallIcon) {
    if (parentPeer) {
      if (!(style & WS_CHILD)) classSmallIcon = CopyIcon(parentPeer->classSmallIcon);
    } else {
      classSmallIcon = makeIcon(smallIcon);
    }
  }
  wc.hIcon = classIcon;
  wc.hIconSm = classSmallIcon;
  wc.hCursor = makeCursor(cursor);
  return RegisterClassExA(&wc);
}

void ImplRKComponent::newBackBuffer() {
  if (!window || !graphics) return;
  HDC dc = GetWindowDC(window);
  graphics->create(dc, size.width, size.height);
  ReleaseDC(window, dc);
}

int ImplRKComponent::createWindow() {
  if (owner) owner->onBeforeCreate();
  HWND parentWindow = parentPeer ? parentPeer->window : nullptr;
  HWND h = CreateWindowExA(exStyle, windowClassName.data, title.data, style, location.x, location.y, size.width,
                           size.height, parentWindow, nullptr, instance, nullptr);
  if (!h) {
    RKString text;
    text.format("createwindows err=%d", int(GetLastError()));
    MessageBoxA(nullptr, text.data, "eeerrr", MB_OK);
    return 0;
  }
  window = h;
  SetWindowLongPtrA(h, GWLP_USERDATA, LONG_PTR(this));
  if (graphics) {
    HDC dc = GetWindowDC(h);
    graphics->setWindow(h);
    graphics->create(dc, size.width, size.height);
    graphics->setFont(font);
    graphics->setColor(foreground);
    graphics->setBackgroundColor(background);
    ReleaseDC(h, dc);
  }
  DragAcceptFiles(h, TRUE);
  if (owner) owner->onAfterCreate();
  if (!window) return 0;  // destroyed while its children were made
  if (visible) {
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    setTopMost(int(topMost));
  } else {
    ShowWindow(window, SW_HIDE);
  }
  if (caret) caret->setWindow(window);
  mouseInside = 0;
  return 1;
}

void ImplRKComponent::runMessageLoop() {
  if (!window) return;
  MSG msg;
  for (;;) {
    BOOL r = GetMessageA(&msg, nullptr, 0, 0);
    if (r == 0 || r == -1) break;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    Sleep(1);
  }
}

void ImplRKComponent::giveBackClassUse() {
  if (!classRegistered) return;
  TRKMap<RKString, int*>& uses = classUses();
  uses.lock(RK_WAIT_FOREVER);
  int* count = nullptr;
  if (uses.get(windowClassName, count) && count) {
    if (--*count <= 0) {
      UnregisterClassA(windowClassName.data, instance);
      uses.remove(windowClassName);
      delete count;
    }
  }
  uses.unlock();
  classRegistered = 0;
}

int ImplRKComponent::classUseCount(RKString name) {
  TRKMap<RKString, int*>& uses = classUses();
  uses.lock(RK_WAIT_FOREVER);
  int* count = nullptr;
  int n = uses.get(name, count) && count ? *count : 0;
  uses.unlock();
  return n;
}

int ImplRKComponent::captureDepth() { return captureCount; }

// ---- properties ----

int ImplRKComponent::getNativeInfo(RKCreateInfo* info) {
  if (!info) return 0;
  info->instance = instance;
  info->parent = window;
  return 1;
}

void ImplRKComponent::setText(RKString text) {
  title = text;
  if (window) SetWindowTextA(window, title.data ? title.data : "");
}

void ImplRKComponent::setBackground(RKColor color) {
  background = color;
  if (graphics) graphics->setBackgroundColor(background);
}

void ImplRKComponent::setForeground(RKColor color) {
  foreground = color;
  if (graphics) graphics->setColor(foreground);
}

void ImplRKComponent::setLocation(int x, int y, int repaint) {
  location.setLocation(x, y);
  if (window) MoveWindow(window, x, y, size.width, size.height, repaint);
}

void ImplRKComponent::setSize(int width, int height, int repaint) {
  size.setSize(width, height);
  if (!window) return;
  newBackBuffer();
  MoveWindow(window, location.x, location.y, width, height, repaint);
}

void ImplRKComponent::setBounds(int x, int y, int width, int height, int repaint) {
  location.setLocation(x, y);
  size.setSize(width, height);
  if (!window) return;
  newBackBuffer();
  MoveWindow(window, x, y, width, height, repaint);
}

void ImplRKComponent::setWindowClassName(RKString name) { windowClassName = name; }

void ImplRKComponent::setFont(RKFont* f) {
  if (!f) return;
  f->addRef();
  if (font) font->release();
  font = f;
  if (graphics) graphics->setFont(font);
}

int ImplRKComponent::show(int activateIt) {
  int r = window ? ShowWindow(window, activateIt ? SW_SHOW : SW_SHOWNOACTIVATE) : 0;
  visible = 1;
  style |= WS_VISIBLE;
  return r;
}

int ImplRKComponent::hide() {
  int r = window ? ShowWindow(window, SW_HIDE) : 0;
  visible = 0;
  style &= ~u32(WS_VISIBLE);
  return r;
}

int ImplRKComponent::enable() {
  int r = 0;
  if (window && !IsWindowEnabled(window)) r = EnableWindow(window, TRUE);
  style &= ~u32(WS_DISABLED);
  return r;
}

int ImplRKComponent::disable() {
  int r = 0;
  if (window && IsWindowEnabled(window)) r = EnableWindow(window, FALSE);
  style |= WS_DISABLED;
  return r;
}

void ImplRKComponent::maximize() {
  if (window) {
    ShowWindow(window, SW_MAXIMIZE);
    repaint();
  }
  style |= WS_MAXIMIZE;
}

void ImplRKComponent::minimize() {
  if (window) {
    ShowWindow(window, SW_MINIMIZE);
    repaint();
  }
  style |= WS_MINIMIZE;
}

void ImplRKComponent::restore() {
  if (!window) return;
  ShowWindow(window, SW_RESTORE);
  repaint();
}

void ImplRKComponent::setCursor(RKCursor* c) {
  if (c) c->addRef();
  if (cursor) cursor->release();
  cursor = c;
  if (!window || !cursor) return;
  SetClassLongPtrA(window, GCLP_HCURSOR, LONG_PTR(makeCursor(cursor)));
}

void ImplRKComponent::setIcon(RKIcon* i) {
  if (i) i->addRef();
  if (icon) icon->release();
  icon = i;
  if (!window || !icon) return;
  SetClassLongPtrA(window, GCLP_HICON, LONG_PTR(makeIcon(icon)));
}

void ImplRKComponent::setSmallIcon(RKIcon* i) {
  if (i) i->addRef();
  if (smallIcon) smallIcon->release();
  smallIcon = i;
  if (!window || !smallIcon) return;
  SetClassLongPtrA(window, GCLP_HICONSM, LONG_PTR(makeIcon(smallIcon)));
}

RKPoint ImplRKComponent::getLocationOnScreen() {
  RECT r;
  if (!window || !GetWindowRect(window, &r)) return RKPoint(0, 0);
  return RKPoint(r.left, r.top);
}

RKString ImplRKComponent::getText() { return title; }
RKColor ImplRKComponent::getBackground() { return background; }
RKColor ImplRKComponent::getForeground() { return foreground; }
RKPoint ImplRKComponent::getLocation() { return location; }
RKSize ImplRKComponent::getSize() { return size; }

RKFont* ImplRKComponent::getFont() {
  if (font) font->addRef();
  return font;
}

RKString ImplRKComponent::getWindowClassName() { return windowClassName; }

IRKCaret* ImplRKComponent::getCaret() {
  if (!caret) return nullptr;
  caret->addRef();
  return caret;
}

IRKGraphics* ImplRKComponent::getGraphics() {
  if (!graphics) return nullptr;
  graphics->addRef();
  return graphics;
}

int ImplRKComponent::copyToClipboard(RKString text) {
  if (!window || !OpenClipboard(window)) return 0;
  if (!EmptyClipboard()) {
    CloseClipboard();
    return 0;
  }
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, SIZE_T(text.length) + 1);
  char* bytes = mem ? static_cast<char*>(GlobalLock(mem)) : nullptr;
  if (!bytes) {
    // Nothing may be copied into memory that was not obtained.
    if (mem) GlobalFree(mem);
    CloseClipboard();
    return 0;
  }
  if (text.length) memcpy(bytes, text.data, text.length);
  bytes[text.length] = 0;
  GlobalUnlock(mem);
  SetClipboardData(CF_TEXT, mem);
  CloseClipboard();
  return 1;
}

int ImplRKComponent::pasteFromClipboard(RKString& out) {
  if (!window || !IsClipboardFormatAvailable(CF_TEXT) || !OpenClipboard(window)) return 0;
  HANDLE mem = GetClipboardData(CF_TEXT);
  const char* bytes = mem ? static_cast<const char*>(GlobalLock(mem)) : nullptr;
  if (!bytes) {
    CloseClipboard();
    return 0;
  }
  out = bytes;
  GlobalUnlock(mem);
  CloseClipboard();
  return 1;
}

int ImplRKComponent::isKeyDown(int vk) { return GetKeyState(vk) < 0 ? 1 : 0; }

int ImplRKComponent::hasFocus() { return window && GetFocus() == window ? 1 : 0; }

int ImplRKComponent::queryPeer() { return 0; }

// ---- listeners, painting, input, timer, window operations ----

void ImplRKComponent::addComponentListener(IRKComponentListener* l) {
  for (u32 i = 0; i < listeners.itemCount; ++i)
    if (listeners.items[i] == l) return;
  listeners.insertAt(int(listeners.itemCount), l);
}

void ImplRKComponent::removeComponentListener(IRKComponentListener* l) {
  for (u32 i = 0; i < listeners.itemCount; ++i) {
    if (listeners.items[i] != l) continue;
    for (u32 j = i + 1; j < listeners.itemCount; ++j) listeners.items[j - 1] = listeners.items[j];
    --listeners.itemCount;
    return;
  }
}

void ImplRKComponent::clearComponentListeners() {
  listeners.itemCount = 0;
  listeners.reserved = 0;
}

int ImplRKComponent::isWindowCreated() { return window ? 1 : 0; }

void ImplRKComponent::repaintRect(RKRect r) {
  if (!window) return;
  RECT rc = {r.x, r.y, r.x + r.width, r.y + r.height};
  InvalidateRect(window, &rc, TRUE);
}

void ImplRKComponent::repaint() {
  if (!window) return;
  RECT rc;
  GetClientRect(window, &rc);
  InvalidateRect(window, &rc, TRUE);
}

void ImplRKComponent::captureMouse() {
  if (!window) return;
  SetCapture(window);
  captureWindow = window;
  ++captureCount;
}

int ImplRKComponent::hasMouseCapture() { return window && GetCapture() == window ? 1 : 0; }

void ImplRKComponent::releaseMouse(int all) {
  if (all) {
    captureCount = 0;
    captureWindow = nullptr;
    ReleaseCapture();
    return;
  }
  if (captureCount < 1) return;
  if (--captureCount == 0) {
    captureWindow = nullptr;
    ReleaseCapture();
  }
}

// A window destroyed while it holds the capture loses it (the system releases it with the
// window): the count goes back to 0, so the next press goes to the window under the pointer
// instead of to a capture that an unmatched count would keep alive.
void ImplRKComponent::dropCaptureOf(HWND gone) {
  if (!gone || gone != captureWindow) return;
  captureWindow = nullptr;
  captureCount = 0;
  if (GetCapture() == gone) ReleaseCapture();
}

int ImplRKComponent::startTimer(u32 ms) {
  if (!window) return 0;
  timerId = SetTimer(window, RK_COMPONENT_TIMER_ID, ms, nullptr);
  return timerId ? 1 : 0;
}

void ImplRKComponent::stopTimer() {
  if (!window || !timerId) return;
  KillTimer(window, UINT_PTR(timerId));
  timerId = 0;
}

void ImplRKComponent::setWindowStyle(u32 kind) {
  static const u32 styles[7] = {0x800B0000u, 0x40000000u, 0x00CF0000u, 0x06080000u,
                                0x06000000u, 0x000A0000u, 0x80000000u};
  if (kind < 7) style = styles[kind];
}

void ImplRKComponent::setWindowShape(RKImage* image, RKColor color) {
  if (!image) return;
  int w = image->getWidth(), h = image->getHeight();
  RKBuffer* pixels = image->getBuffer();
  // Three bytes a pixel are read: only from a buffer that holds them all.
  long long need = (long long)(w > 0 ? w : 0) * (h > 0 ? h : 0) * 3;
  const u8* bytes = pixels ? pixels->getData(0) : nullptr;
  if (!bytes || (long long)pixels->getSize() < need) {
    if (pixels) pixels->release();
    return;
  }
  HRGN region = CreateRectRgn(0, 0, size.width, size.height);
  if (region && color.alpha == 0) {
    for (int y = 0; y < h; ++y) {
      const u8* row = bytes + (size_t)y * (size_t)w * 3;
      for (int x = 0; x < w; ++x) {
        const u8* p = row + (size_t)x * 3;
        if (p[0] != color.red || p[1] != color.green || p[2] != color.blue) continue;
        HRGN dot = CreateRectRgn(x, y, x + 1, y + 1);
        CombineRgn(region, region, dot, RGN_XOR);
        DeleteObject(dot);
      }
    }
  }
  pixels->release();
  if (region && !SetWindowRgn(window, region, FALSE)) DeleteObject(region);
}

int ImplRKComponent::createChild(RKComponent* child) {
  if (!child) return 1;
  child->addRef();
  RKCreateInfo info = {instance, this};
  child->create(info);
  child->release();
  return 1;
}

void ImplRKComponent::requestFocus() {
  if (window) SetFocus(window);
}

RKSize ImplRKComponent::getTextExtent(RKString text) {
  if (!window || !font) return RKSize(0, 0);
  HDC dc = GetDC(window);
  if (!dc) return RKSize(0, 0);
  RKString face = font->getFaceName();
  HFONT f =
      CreateFontA(font->getHeight(), font->getWidth(), 0, 0, font->getWeight(), font->getItalic(), font->getUnderline(),
                  font->getStrikeOut(), DEFAULT_CHARSET, 0, 0, 0, 0, face.data ? face.data : "");
  int saved = SaveDC(dc);
  if (f) SelectObject(dc, f);
  SIZE s = {0, 0};
  RKSize result(0, 0);
  if (GetTextExtentPoint32A(dc, text.data ? text.data : "", int(text.length), &s)) result.setSize(s.cx, s.cy);
  RestoreDC(dc, saved);
  if (f) DeleteObject(f);
  ReleaseDC(window, dc);
  return result;
}

int ImplRKComponent::getFontHeight() {
  if (!window) return -1;
  HDC dc = GetDC(window);
  TEXTMETRICA tm;
  int h = dc && GetTextMetricsA(dc, &tm) ? int(tm.tmHeight) : -1;
  if (dc) ReleaseDC(window, dc);
  return h;
}

void ImplRKComponent::destroy() {
  if (window && DestroyWindow(window)) window = nullptr;
}

void ImplRKComponent::postClose() {
  if (window) PostMessageA(window, WM_CLOSE, 0, 0);
}

void ImplRKComponent::postQuit() {
  if (window) PostMessageA(window, WM_QUIT, 0, 0);
}

void ImplRKComponent::disableParent() {
  if (parentPeer && parentPeer->window) EnableWindow(parentPeer->window, FALSE);
}

void ImplRKComponent::enableParent() {
  if (parentPeer && parentPeer->window) EnableWindow(parentPeer->window, TRUE);
}

void ImplRKComponent::activate() {
  if (parentPeer && parentPeer->window) SetActiveWindow(parentPeer->window);
}

void ImplRKComponent::setTopMost(int on) {
  if (!window) return;
  SetWindowPos(window, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  topMost = on ? 1 : 0;
}

void ImplRKComponent::bringToTop() {
  if (window) SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

int ImplRKComponent::postAction(u32 id, u64 parameter) {
  return PostMessageA(window, RK_MSG_ACTION_TO_SELF, WPARAM(parameter), LPARAM(id));
}

int ImplRKComponent::postActionToParent(u32 id, u64 parameter) {
  // Only a parent window can receive (and so free) the record.
  if (!parentPeer || !parentPeer->window) return 0;
  RKPostedAction* record = new (std::nothrow) RKPostedAction;
  if (!record) return 0;
  record->source = source();
  record->parameter = parameter;
  if (PostMessageA(parentPeer->window, RK_MSG_ACTION_TO_PARENT, WPARAM(record), LPARAM(id))) return 1;
  delete record;
  return 0;
}

RKSize ImplRKComponent::getScreenSize() {
  RECT r;
  if (!GetClientRect(GetDesktopWindow(), &r)) return RKSize(0, 0);
  return RKSize(r.right - r.left, r.bottom - r.top);
}

int ImplRKComponent::messageBox(RKComponent* ownerComponent, RKString text, RKString caption, u32 type) {
  HWND ownerWindow = nullptr;
  if (ownerComponent) {
    RKCreateInfo info = {nullptr, nullptr};
    ownerComponent->getNativeInfo(&info);
    ownerWindow = static_cast<HWND>(info.parent);
  }
  return MessageBoxA(ownerWindow, text.data ? text.data : "", caption.data ? caption.data : "",
                     type == 1 ? MB_OKCANCEL : MB_OK);
}

}  // namespace RKSDK
