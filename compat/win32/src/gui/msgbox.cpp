// MessageBoxA: a modal box window with its own nested message loop; the owner is disabled
// while it is open and every other window and timer keeps running.
#include "winsys_internal.h"

#include <algorithm>
#include <cstring>
#include <unistd.h>

namespace rkwin {

struct ScriptedAnswer {
  int answer;
  DWORD after;
  bool checksText = false;
  std::string text;  // the text the box is to show, when checked
};
static std::deque<ScriptedAnswer>& script() {
  static std::deque<ScriptedAnswer> d;
  return d;
}
static CompatMessageBoxHook boxHook = nullptr;
static void* boxHookContext = nullptr;
static int boxCount = 0;
static std::string lastText, lastCaption;
static std::string mismatch;

void messageBoxAnswerIfText(int answer, const std::string& ansiText) {
  ScriptedAnswer a{answer, 0, true, ansiText};
  script().push_back(a);
}

std::string messageBoxMismatch() {
  std::string m = mismatch;
  mismatch.clear();
  return m;
}

struct Box {
  std::string text;
  UINT type;
  int result = 0;
  int pressed = 0;  // button held down: 1 OK, 2 Cancel
};

static const int kButtonW = 75, kButtonH = 23;

static RECT buttonRect(HWND h, const Box* b, int which) {
  RECT c;
  GetClientRect(h, &c);
  int n = (b->type & MB_TYPEMASK) == MB_OKCANCEL ? 2 : 1;
  int total = n * kButtonW + (n - 1) * 10;
  int x = (c.right - total) / 2 + (which == IDCANCEL ? kButtonW + 10 : 0);
  int y = c.bottom - kButtonH - 12;
  return RECT{x, y, x + kButtonW, y + kButtonH};
}

static LRESULT CALLBACK boxProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  Box* b = reinterpret_cast<Box*>(GetWindowLongPtrA(h, GWLP_USERDATA));
  if (!b) return DefWindowProcA(h, msg, wp, lp);
  bool okCancel = (b->type & MB_TYPEMASK) == MB_OKCANCEL;
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      if (!dc) return 0;
      RECT c;
      GetClientRect(h, &c);
      HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
      FillRect(dc, &c, face);
      DeleteObject(face);
      // The dialog font, as Windows draws message boxes (not the DC's bold system font).
      HFONT font =
          CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Shell Dlg");
      HGDIOBJ oldFont = SelectObject(dc, font);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      RECT t = {16, 16, c.right - 16, c.bottom - kButtonH - 20};
      DrawTextA(dc, b->text.c_str(), int(b->text.size()), &t, DT_NOPREFIX | DT_WORDBREAK);
      for (int which = IDOK; which <= (okCancel ? IDCANCEL : IDOK); ++which) {
        RECT r = buttonRect(h, b, which);
        HBRUSH bf = CreateSolidBrush(b->pressed == which ? RGB(200, 200, 200) : RGB(225, 225, 225));
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(112, 112, 112));
        HGDIOBJ op = SelectObject(dc, pen), ob = SelectObject(dc, bf);
        Rectangle(dc, r.left, r.top, r.right, r.bottom);
        SelectObject(dc, op);
        SelectObject(dc, ob);
        DeleteObject(pen);
        DeleteObject(bf);
        const char* label = which == IDOK ? "OK" : "Cancel";
        DrawTextA(dc, label, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
      }
      SelectObject(dc, oldFont);
      DeleteObject(font);
      EndPaint(h, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP: {
      POINT p = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      int hit = 0;
      for (int which = IDOK; which <= (okCancel ? IDCANCEL : IDOK); ++which) {
        RECT r = buttonRect(h, b, which);
        if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) hit = which;
      }
      if (msg == WM_LBUTTONDOWN) {
        b->pressed = hit;
        if (hit) SetCapture(h);
      } else {
        if (GetCapture() == h) ReleaseCapture();
        if (hit && hit == b->pressed) b->result = hit;
        b->pressed = 0;
      }
      InvalidateRect(h, nullptr, FALSE);
      return 0;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (wp == VK_RETURN || wp == VK_SPACE)
        b->result = IDOK;
      else if (wp == VK_ESCAPE)
        b->result = okCancel ? IDCANCEL : IDOK;
      return 0;
    case WM_CLOSE:
      b->result = okCancel ? IDCANCEL : IDOK;
      return 0;
    default:
      return DefWindowProcA(h, msg, wp, lp);
  }
}

static const char* boxClass() {
  static bool done = false;
  if (!done) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_SAVEBITS;
    wc.lpfnWndProc = boxProc;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = "#32770";
    RegisterClassExA(&wc);
    done = true;
  }
  return "#32770";
}

}  // namespace rkwin

using namespace rkwin;

void compat_message_box_answer(int answer, DWORD after_ms) {
  script().push_back(ScriptedAnswer{answer, after_ms, false, std::string()});
}

void compat_message_box_hook(CompatMessageBoxHook hook, void* context) {
  boxHook = hook;
  boxHookContext = context;
}

int compat_message_box_count(void) { return boxCount; }
const char* compat_message_box_last_text(void) { return lastText.c_str(); }
const char* compat_message_box_last_caption(void) { return lastCaption.c_str(); }

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  auto& s = st();
  boxCount++;
  lastText = text ? text : "";
  lastCaption = caption ? caption : "Error";
  Wnd* ow = owner ? wndQuiet(owner) : nullptr;
  HWND ownerTop = ow ? topLevelOf(ow)->handle : nullptr;
  bool disabledOwner = false;
  if (ownerTop && IsWindowEnabled(ownerTop)) {
    EnableWindow(ownerTop, FALSE);
    disabledOwner = true;
  }
  Box box;
  box.text = lastText;
  box.type = type;
  // Size from the text: about 7 pixels a byte on lines of at most 60 bytes.
  int longest = 0, lines = 1, cur = 0;
  for (char c : box.text) {
    if (c == '\n') {
      lines++;
      cur = 0;
    } else {
      longest = std::max(longest, ++cur);
    }
  }
  lines += longest / 60;
  int w = std::max(220, std::min(60, longest) * 7 + 48), hgt = 16 * lines + 90;
  RECT area = {0, 0, s.screenW, s.screenH};
  if (ownerTop) GetWindowRect(ownerTop, &area);
  int x = area.left + ((area.right - area.left) - w) / 2, y = area.top + ((area.bottom - area.top) - hgt) / 2;
  HWND h = CreateWindowExA(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST, boxClass(), lastCaption.c_str(),
                           WS_POPUP | WS_CAPTION | WS_SYSMENU, x, y, w, hgt, ownerTop, nullptr, nullptr, nullptr);
  if (h) {
    SetWindowLongPtrA(h, GWLP_USERDATA, LONG_PTR(&box));
    ShowWindow(h, SW_SHOW);
    UpdateWindow(h);
  }
  ScriptedAnswer scripted = {0, 0, false, std::string()};
  bool hasScript = !script().empty();
  if (hasScript) {
    scripted = script().front();
    script().pop_front();
    if (scripted.checksText && scripted.text != lastText && mismatch.empty())
      mismatch = "the message box shows '" + ansiToUtf8(lastText) + "', not '" + ansiToUtf8(scripted.text) + "'";
  }
  DWORD opened = now();
  bool quit = false;
  int quitCode = 0;
  int result = 0;
  while (!result) {
    MSG m;
    if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.message == WM_QUIT) {
        quit = true;
        quitCode = int(m.wParam);
        result = (type & MB_TYPEMASK) == MB_OKCANCEL ? IDCANCEL : IDOK;
        break;
      }
      TranslateMessage(&m);
      DispatchMessageA(&m);
      if (box.result) result = box.result;
      continue;
    }
    if (box.result) {
      result = box.result;
      break;
    }
    if (boxHook) {
      int a = boxHook(boxHookContext, h, lastText.c_str(), lastCaption.c_str());
      if (a) {
        result = a;
        break;
      }
    }
    DWORD t = now();
    if (hasScript) {
      if (int32_t(t - (opened + scripted.after)) >= 0) {
        result = scripted.answer;
        break;
      }
    } else if (!boxHook && !x11Active()) {
      result = IDOK;  // headless without a script: the default button
      break;
    }
    int due = nextDue();
    if (hasScript) {
      int left = int(int32_t(opened + scripted.after - t));
      if (due < 0 || left < due) due = left;
    }
    if (x11Active())
      x11Wait(due < 0 ? 100 : std::min(due, 100));
    else if (s.virtualClock)
      advanceVirtual(DWORD(due < 0 ? 10 : due));
    else
      usleep(useconds_t(std::max(1, std::min(due < 0 ? 10 : due, 20))) * 1000u);
  }
  if (disabledOwner && wndQuiet(ownerTop)) EnableWindow(ownerTop, TRUE);
  if (h && wndQuiet(h)) DestroyWindow(h);
  if (ownerTop && wndQuiet(ownerTop)) SetActiveWindow(ownerTop);
  if (quit) PostQuitMessage(quitCode);
  return result;
}
