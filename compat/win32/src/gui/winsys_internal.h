// Internal model of the window-system stand-in: classes, windows, the thread's queues and
// input state, shared by the gui sources. One thread uses the windows (the system never
// starts another), so the state is plain globals.
#ifndef RKWIN_WINSYS_INTERNAL_H
#define RKWIN_WINSYS_INTERNAL_H

#include "windows.h"
#include "shellapi.h"
#include "compat_window.h"

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace rkwin {

struct WndClass {
  std::string name;
  UINT style = 0;
  WNDPROC proc = nullptr;
  HINSTANCE instance = nullptr;
  HICON icon = nullptr;
  HICON iconSmall = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
  ATOM atom = 0;
  int windows = 0;  // live windows of the class
};

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  UINT period;
  DWORD due;
  TIMERPROC proc;
};

struct Wnd {
  HWND handle = nullptr;
  std::shared_ptr<WndClass> cls;
  DWORD style = 0;
  DWORD exStyle = 0;
  std::string text;
  Wnd* parent = nullptr;       // for child windows
  Wnd* owner = nullptr;        // for owned top-level windows
  std::vector<Wnd*> children;  // z-order, topmost first
  RECT rect = {0, 0, 0, 0};    // relative to the parent's client area (screen for top-level)
  RECT restoreRect = {0, 0, 0, 0};
  WNDPROC proc = nullptr;
  HINSTANCE instance = nullptr;
  HMENU id = nullptr;
  LONG_PTR userData = 0;
  HRGN region = nullptr;
  RECT update = {0, 0, 0, 0};  // bounding box of the invalid client area
  bool erase = false;
  bool destroying = false;
  bool dead = false;
  bool hiddenByOwner = false;
  HDC ownDC = nullptr;
  // Top-level surface: BGRX pixels shared by the window and its children.
  std::vector<uint32_t> pixels;
  int surfW = 0, surfH = 0;
  bool dirty = false;
  bool caretDrawn = false;  // the caret as last shown on the display
  RECT caretDrawnAt = {0, 0, 0, 0};
  unsigned long xwindow = 0;
  void* xdata = nullptr;
};

enum class InputKind { Mouse, Key };
struct InputEvent {
  InputKind kind;
  // mouse
  POINT screen;
  int button;  // 0 move, 1 left, 2 right, 3 middle
  bool down;
  // key
  UINT vk;
  std::string text;
  bool hasText;
  DWORD time;
};

struct State {
  std::map<HWND, Wnd*> windows;
  std::vector<std::unique_ptr<Wnd>> all;  // owns every record; dead ones freed at depth 0
  std::vector<Wnd*> topLevels;            // z-order, topmost first
  std::vector<std::shared_ptr<WndClass>> classes;
  uintptr_t nextHandle = 0x10010;
  ATOM nextAtom = 0xC000;
  Wnd desktop;
  int screenW = 1024, screenH = 768;

  std::deque<MSG> posted;
  std::deque<InputEvent> input;
  std::deque<MSG> cooked;  // input already routed to its window
  std::vector<Timer> timers;
  UINT_PTR nextThreadTimer = 1;
  bool quitPending = false;
  int quitCode = 0;
  int depth = 0;  // nesting of calls into window procedures
  DWORD lastMessageTime = 0;

  HWND focus = nullptr;
  HWND active = nullptr;
  HWND capture = nullptr;
  HCURSOR cursor = nullptr;
  POINT cursorPos = {0, 0};
  BYTE keys[256] = {0};

  // double clicks
  HWND lastClickWnd = nullptr;
  int lastClickButton = 0;
  DWORD lastClickTime = 0;
  POINT lastClickPos = {0, 0};
  bool lastWasDouble = false;

  // mouse tracking
  HWND trackWnd = nullptr;
  DWORD trackFlags = 0;
  DWORD hoverTime = 400;
  DWORD hoverStart = 0;
  POINT hoverPos = {0, 0};

  // translation of the last key press fetched
  MSG lastKey = {};
  std::string lastKeyText;
  bool lastKeyHasText = false;

  // clock
  bool virtualClock = false;
  DWORD virtualNow = 0;
};

State& st();
Wnd* wnd(HWND h);  // live window or null (sets ERROR_INVALID_WINDOW_HANDLE)
Wnd* wndQuiet(HWND h);
DWORD now();
LRESULT callProc(Wnd* w, UINT msg, WPARAM wp, LPARAM lp);
LRESULT send(HWND h, UINT msg, WPARAM wp, LPARAM lp);
Wnd* topLevelOf(Wnd* w);
bool isVisibleTree(Wnd* w);  // the window and all its ancestors visible
bool isAncestorOrSelf(Wnd* a, Wnd* w);
POINT clientOriginOnScreen(Wnd* w);
POINT originOnSurface(Wnd* w);  // client origin on its top-level surface
RECT visibleOnSurface(Wnd* w);  // the part of the client area that ancestors do not clip
void invalidate(Wnd* w, const RECT* r, bool erase);
void activate(Wnd* w, int how);  // WA_ACTIVE / WA_CLICKACTIVE, or null to deactivate all
void focusLostWithin(Wnd* w, HWND moveTo);
void purgeWindow(Wnd* w);  // timers, posts, caret, tracking of a destroyed window
void caretWindowGone(HWND h);
void postMsg(HWND h, UINT msg, WPARAM wp, LPARAM lp);
bool fetch(MSG* out, HWND filter, UINT fmin, UINT fmax, bool remove, bool* idle);
void processPendingDisplay();
void presentAll();
void cookInput(const InputEvent& e);
int nextDue();
void advanceVirtual(DWORD ms);
bool caretNextBlink(DWORD* due);
void caretTick();
void caretPaintHide(HWND h, bool hide);
HDC makeWindowDC(Wnd* w, const RECT* clip);  // client DC of w clipped to clip (null: visible part)
void freeWindowDC(HDC dc);
bool regionContains(HRGN region, int x, int y);
void destroyRegion(HRGN region);
bool eraseWithClassBrush(Wnd* w, HDC dc);
void raiseInternal(Wnd* w);
void keepOwnedAbove(Wnd* owner);  // owned windows directly above their owner
void clipboardReset();
std::string utf8ToAnsi(const std::string& utf8);
UINT MapVirtualKeyScan(UINT vk);
void collectGarbage();
// The input script (script_driver.cpp): read from RKWIN_INPUT_SCRIPT by the first message loop,
// and looking at the windows before each message while a step watches the picture.
void inputScriptFromEnvironment();
extern bool inputScriptWatching;
void inputScriptObserve();
// The answer of the next message box when it shows this text (ANSI); a box with another text is
// answered too, and the difference is kept for messageBoxMismatch.
void messageBoxAnswerIfText(int answer, const std::string& ansiText);
// "" while every box showed the text it was answered for, else what went wrong (taken once).
std::string messageBoxMismatch();

// Cursors and icons.
struct CursorObj {
  UINT systemId;
  bool isIcon;
  bool shared;
  int width, height, hotX, hotY;
};
CursorObj* cursorObj(HANDLE h);

// Display back-end.
bool x11Active();
void registerFolderBrowser();  // SHBrowseForFolderA shows its window on the display
void x11CreateWindow(Wnd* w);
void x11DestroyWindow(Wnd* w);
void x11ShowWindow(Wnd* w, bool show);
void x11Configure(Wnd* w);
void x11Present(Wnd* w);
void x11SetCursor(Wnd* top, HCURSOR cursor);
void x11SetTitle(Wnd* w);
void x11Restack();            // X stacking order from the top-level z-order
bool x11Pending();            // reads X events into the input queue; true when any came
void x11Wait(int timeoutMs);  // waits for X events
void x11ScreenSize(int* w, int* h);
void x11Shutdown();
// The X CLIPBOARD selection: offer our text, see whether another client holds it, fetch it.
void x11ClipboardOffer(const std::string& ansi);
bool x11ClipboardForeign();
bool x11ClipboardFetch(std::string* ansi);
std::string ansiToUtf8(const std::string& ansi);

// Window DCs over surfaces (see windc.cpp).
void surfaceResize(Wnd* top, int w, int h);
void releaseOwnDC(Wnd* w);

// Caret drawing over a surface region (for presentation).
bool caretRectOnSurface(Wnd* top, RECT* r);

}  // namespace rkwin

#endif
