// The folder browser's window on a display: a modal box with the caller's title, a path field
// that starts at the system drive's root, OK and Cancel. Like MessageBoxA it disables its owner
// and runs its own message loop, so every other window and timer keeps running. OK accepts only
// an existing folder; otherwise the box stays open and says why.
#include "winsys_internal.h"

#include "../kernel/ansi_text.h"
#include "../kernel/shell_browser.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace rkwin {

namespace {

struct Browser {
  std::string title;
  std::string path;
  bool allSelected = true;  // the starting text is selected: typing replaces it
  std::string notice;
  int pressed = 0;  // button held down: IDOK or IDCANCEL
  int result = 0;
  HFONT font = nullptr;
};

const int kWidth = 380, kHeight = 170;
const int kButtonW = 75, kButtonH = 23, kMargin = 12;
const RECT kTitleRect = {kMargin, 10, kWidth - kMargin, 48};
const RECT kFieldRect = {kMargin, 54, kWidth - kMargin, 78};
const RECT kNoticeRect = {kMargin, 84, kWidth - kMargin, 102};

RECT buttonRect(HWND h, int which) {
  RECT c;
  GetClientRect(h, &c);
  int x = c.right - kMargin - kButtonW - (which == IDOK ? kButtonW + 8 : 0);
  int y = c.bottom - kButtonH - kMargin;
  return RECT{x, y, x + kButtonW, y + kButtonH};
}

bool inside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

// Length of the character starting at byte i of an ANSI text (two bytes for a lead byte).
size_t charAt(const std::string& s, size_t i) { return IsDBCSLeadByte(BYTE(s[i])) && i + 1 < s.size() ? 2 : 1; }

// The last part of the text that fits into width pixels, whole characters only.
size_t firstShown(HDC dc, const std::string& s, int width) {
  size_t start = 0;
  SIZE sz = {0, 0};
  while (start < s.size()) {
    GetTextExtentPoint32A(dc, s.c_str() + start, int(s.size() - start), &sz);
    if (sz.cx <= width) break;
    start += charAt(s, start);
  }
  return start;
}

const int kFieldPad = 4;

// The field's text from its first shown character, and the caret's x after it.
void layoutField(HDC dc, const Browser* b, size_t* start, int* caretX) {
  int width = (kFieldRect.right - kFieldRect.left) - 2 * kFieldPad - 2;
  *start = firstShown(dc, b->path, width);
  SIZE sz = {0, 0};
  if (*start < b->path.size()) GetTextExtentPoint32A(dc, b->path.c_str() + *start, int(b->path.size() - *start), &sz);
  *caretX = kFieldRect.left + kFieldPad + sz.cx;
}

void placeCaret(HWND h, Browser* b) {
  HDC dc = GetDC(h);
  HGDIOBJ old = SelectObject(dc, b->font);
  size_t start = 0;
  int x = 0;
  layoutField(dc, b, &start, &x);
  SelectObject(dc, old);
  ReleaseDC(h, dc);
  SetCaretPos(x, kFieldRect.top + 4);
}

void frame(HDC dc, const RECT& r, COLORREF topLeft, COLORREF bottomRight) {
  HPEN a = CreatePen(PS_SOLID, 1, topLeft), z = CreatePen(PS_SOLID, 1, bottomRight);
  HGDIOBJ old = SelectObject(dc, a);
  MoveToEx(dc, r.left, r.bottom - 1, nullptr);
  LineTo(dc, r.left, r.top);
  LineTo(dc, r.right - 1, r.top);
  SelectObject(dc, z);
  LineTo(dc, r.right - 1, r.bottom - 1);
  LineTo(dc, r.left, r.bottom - 1);
  SelectObject(dc, old);
  DeleteObject(a);
  DeleteObject(z);
}

void fill(HDC dc, const RECT& r, COLORREF c) {
  HBRUSH b = CreateSolidBrush(c);
  FillRect(dc, &r, b);
  DeleteObject(b);
}

void paint(HWND h, Browser* b) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(h, &ps);
  if (!dc) return;
  RECT c;
  GetClientRect(h, &c);
  fill(dc, c, GetSysColor(COLOR_BTNFACE));
  HGDIOBJ oldFont = SelectObject(dc, b->font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  RECT t = kTitleRect;
  DrawTextA(dc, b->title.c_str(), int(b->title.size()), &t, DT_NOPREFIX | DT_WORDBREAK);
  // The field: a sunken white box with the text's end in view.
  RECT f = kFieldRect;
  fill(dc, f, GetSysColor(COLOR_WINDOW));
  frame(dc, f, RGB(128, 128, 128), RGB(255, 255, 255));
  RECT inner = {f.left + 1, f.top + 1, f.right - 1, f.bottom - 1};
  frame(dc, inner, RGB(64, 64, 64), RGB(212, 208, 200));
  size_t start = 0;
  int caretX = 0;
  layoutField(dc, b, &start, &caretX);
  std::string shown = b->path.substr(start);
  RECT tr = {f.left + kFieldPad, f.top + 2, f.right - kFieldPad, f.bottom - 2};
  if (b->allSelected && !shown.empty()) {
    RECT hl = {tr.left - 1, f.top + 4, std::min(LONG(caretX + 1), tr.right), f.bottom - 4};
    fill(dc, hl, GetSysColor(COLOR_HIGHLIGHT));
    SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
  }
  DrawTextA(dc, shown.c_str(), int(shown.size()), &tr, DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER);
  if (!b->notice.empty()) {
    SetTextColor(dc, RGB(176, 0, 0));
    RECT n = kNoticeRect;
    DrawTextA(dc, b->notice.c_str(), int(b->notice.size()), &n, DT_NOPREFIX | DT_SINGLELINE);
  }
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  for (int which : {IDOK, IDCANCEL}) {
    RECT r = buttonRect(h, which);
    fill(dc, r, b->pressed == which ? RGB(200, 200, 200) : RGB(225, 225, 225));
    frame(dc, r, RGB(112, 112, 112), RGB(112, 112, 112));
    if (which == IDOK) {  // the default button
      RECT d = {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
      frame(dc, d, RGB(0, 84, 153), RGB(0, 84, 153));
    }
    DrawTextA(dc, which == IDOK ? "OK" : "Cancel", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  SelectObject(dc, oldFont);
  EndPaint(h, &ps);
}

// The typed text as a Windows path of a folder: host paths ("/...") are on Z:, forward
// slashes become backslashes, a bare drive gets its root, other trailing separators go. The
// text is in the ANSI code page: a last character whose second byte is 0x5C (GBK 誠) stays.
bool normalise(std::string text, std::string* out) {
  size_t a = text.find_first_not_of(" \t"), z = text.find_last_not_of(" \t");
  if (a == std::string::npos) return false;
  text = text.substr(a, z - a + 1);
  if (text[0] == '/') text = "Z:" + text;
  std::replace(text.begin(), text.end(), '/', '\\');
  bool drive = text.size() >= 2 && isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':';
  if (!drive) return false;
  if (text.size() == 2) text += '\\';
  if (text[2] != '\\') return false;
  text.resize(AnsiText(text).trimmedEnd('\\', 3));
  *out = text;
  return true;
}

void accept(HWND h, Browser* b) {
  std::string path;
  if (!normalise(b->path, &path)) {
    b->notice = "Type a full path, such as C:\\Folder.";
  } else {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      b->path = path;
      b->result = IDOK;
      return;
    }
    b->notice = "This folder does not exist.";
  }
  InvalidateRect(h, nullptr, FALSE);
}

void typed(HWND h, Browser* b, BYTE ch) {
  switch (ch) {
    case '\r':
      accept(h, b);
      return;
    case 27:
      b->result = IDCANCEL;
      return;
    case 1:
      b->allSelected = true;
      break;  // Ctrl+A
    case '\b':
      if (b->allSelected) {
        b->path.clear();
      } else if (!b->path.empty()) {
        size_t last = 0;
        for (size_t i = 0; i < b->path.size(); i += charAt(b->path, i)) last = i;
        b->path.erase(last);
      }
      b->allSelected = false;
      break;
    case 22: {  // Ctrl+V: the first line of the clipboard's text
      std::string text;
      if (OpenClipboard(h)) {
        if (HANDLE data = GetClipboardData(CF_TEXT)) {
          if (const char* p = static_cast<const char*>(GlobalLock(data))) {
            text.assign(p, strcspn(p, "\r\n"));
            GlobalUnlock(data);
          }
        }
        CloseClipboard();
      }
      if (text.empty()) return;
      if (b->allSelected) b->path.clear();
      b->path += text;
      b->allSelected = false;
      break;
    }
    default:
      if (ch < 0x20 || ch == 0x7F) return;
      if (b->allSelected) b->path.clear();
      b->path += char(ch);
      b->allSelected = false;
      break;
  }
  b->notice.clear();
  placeCaret(h, b);
  InvalidateRect(h, nullptr, FALSE);
}

LRESULT CALLBACK browserProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  Browser* b = reinterpret_cast<Browser*>(GetWindowLongPtrA(h, GWLP_USERDATA));
  if (!b) return DefWindowProcA(h, msg, wp, lp);
  switch (msg) {
    case WM_PAINT:
      paint(h, b);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SETFOCUS:
      CreateCaret(h, nullptr, 1, kFieldRect.bottom - kFieldRect.top - 8);
      placeCaret(h, b);
      ShowCaret(h);
      return 0;
    case WM_KILLFOCUS:
      DestroyCaret();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP: {
      POINT p = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      int hit = inside(buttonRect(h, IDOK), p) ? IDOK : inside(buttonRect(h, IDCANCEL), p) ? IDCANCEL : 0;
      if (msg == WM_LBUTTONDOWN) {
        if (GetFocus() != h) SetFocus(h);
        if (inside(kFieldRect, p) && b->allSelected) b->allSelected = false;  // a click puts the caret in
        b->pressed = hit;
        if (hit) SetCapture(h);
      } else {
        if (GetCapture() == h) ReleaseCapture();
        int was = b->pressed;
        b->pressed = 0;
        if (hit && hit == was) {
          if (hit == IDOK)
            accept(h, b);
          else
            b->result = IDCANCEL;
        }
      }
      InvalidateRect(h, nullptr, FALSE);
      return 0;
    }
    case WM_CHAR:
    case WM_SYSCHAR:
      typed(h, b, BYTE(wp));
      return 0;
    case WM_CLOSE:
      b->result = IDCANCEL;
      return 0;
    default:
      return DefWindowProcA(h, msg, wp, lp);
  }
}

const char* browserClass() {
  static bool done = false;
  if (!done) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_SAVEBITS;
    wc.lpfnWndProc = browserProc;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = "RkFolderBrowser";
    RegisterClassExA(&wc);
    done = true;
  }
  return "RkFolderBrowser";
}

std::string startFolder() {
  char drive[8] = {0};
  DWORD n = GetEnvironmentVariableA("SystemDrive", drive, sizeof drive);
  std::string root = n == 2 && drive[1] == ':' ? std::string(drive) : std::string("C:");
  return root + "\\";
}

int showFolderBrowser(const BROWSEINFOA* bi, std::string* out) {
  if (!x11Active()) return -1;
  auto& s = st();
  Browser b;
  b.title = bi->lpszTitle ? bi->lpszTitle : "";
  b.path = startFolder();
  b.font = CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Shell Dlg");
  Wnd* ow = bi->hwndOwner ? wndQuiet(bi->hwndOwner) : nullptr;
  HWND ownerTop = ow ? topLevelOf(ow)->handle : nullptr;
  bool disabledOwner = false;
  if (ownerTop && IsWindowEnabled(ownerTop)) {
    EnableWindow(ownerTop, FALSE);
    disabledOwner = true;
  }
  RECT area = {0, 0, s.screenW, s.screenH};
  if (ownerTop) GetWindowRect(ownerTop, &area);
  int x = area.left + ((area.right - area.left) - kWidth) / 2, y = area.top + ((area.bottom - area.top) - kHeight) / 2;
  const char* caption = b.title.empty() ? "Browse For Folder" : b.title.c_str();
  HWND h =
      CreateWindowExA(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST, browserClass(), caption, WS_POPUP | WS_CAPTION | WS_SYSMENU,
                      x, y, kWidth, kHeight, ownerTop, nullptr, nullptr, nullptr);
  int result = IDCANCEL;
  bool quit = false;
  int quitCode = 0;
  if (h) {
    SetWindowLongPtrA(h, GWLP_USERDATA, LONG_PTR(&b));
    ShowWindow(h, SW_SHOW);
    SetFocus(h);
    UpdateWindow(h);
    while (!b.result && wndQuiet(h)) {
      MSG m;
      if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) {
          quit = true;
          quitCode = int(m.wParam);
          break;
        }
        TranslateMessage(&m);
        DispatchMessageA(&m);
        continue;
      }
      int due = nextDue();
      x11Wait(due < 0 ? 100 : std::min(due, 100));
    }
    if (b.result) result = b.result;
  }
  if (disabledOwner && wndQuiet(ownerTop)) EnableWindow(ownerTop, TRUE);
  if (h && wndQuiet(h)) {
    SetWindowLongPtrA(h, GWLP_USERDATA, 0);
    DestroyWindow(h);
  }
  if (ownerTop && wndQuiet(ownerTop)) SetActiveWindow(ownerTop);
  DeleteObject(b.font);
  if (quit) PostQuitMessage(quitCode);
  if (result != IDOK) return 0;
  *out = b.path;
  return 1;
}

}  // namespace

void registerFolderBrowser() { setFolderBrowserWindow(showFolderBrowser); }

}  // namespace rkwin
