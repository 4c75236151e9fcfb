// Hooks of the window-system stand-in for tests and demos: choose the display, drive input,
// run the queue until idle, a virtual clock, scripted message-box answers, and read-back of
// window state and pixels. No system source includes this header.
#ifndef RKWIN_COMPAT_WINDOW_H
#define RKWIN_COMPAT_WINDOW_H

#include "windows.h"

enum CompatDisplayKind {
  COMPAT_DISPLAY_AUTO = 0,      // X11 when DISPLAY is set (and RKWIN_DISPLAY is not "headless")
  COMPAT_DISPLAY_HEADLESS = 1,  // windows live in memory only
  COMPAT_DISPLAY_X11 = 2        // each top-level window is an X window
};

// Chooses the display; only while no window exists. Returns the kind in use.
int compat_display_select(int kind);
// The kind in use (chosen on first use when not selected).
int compat_display_kind(void);
// Screen size of the headless display (default 1024 x 768).
void compat_set_screen_size(int width, int height);

// Virtual clock: while on, time moves only through compat_advance. Timers, hover, double
// clicks and the caret blink follow it, and so does MSG.time.
void compat_clock_set_virtual(BOOL on);
DWORD compat_clock_now(void);
// Moves the virtual clock forward by ms, in steps to each due timer or hover, pumping at each.
void compat_advance(DWORD ms);

// Dispatches messages until nothing is left to do now (no posted or input message, nothing
// to paint, no due timer). Returns the number of messages dispatched.
int compat_pump(void);

// Mouse input, queued as hardware input. Points are client coordinates of hwnd, or screen
// coordinates when hwnd is NULL. button: 0 none (move only), 1 left, 2 right, 3 middle.
void compat_mouse_move(HWND hwnd, int x, int y);
void compat_mouse_button(HWND hwnd, int x, int y, int button, BOOL down);
void compat_click(HWND hwnd, int x, int y);
// Keyboard input: a key press or release; text (ANSI bytes, may be NULL) is what
// TranslateMessage turns into WM_CHAR for a press (NULL: derived from the key).
void compat_key(UINT vk, BOOL down, const char* text);
// Text from an input method, in UTF-8: turned into WM_CHAR bytes of the ANSI code page.
void compat_input_text_utf8(const char* utf8);
// Sets the state GetKeyState reports for a key without producing any message.
void compat_set_key_state(UINT vk, BOOL down);
// Drops files on a window accepting them (posts WM_DROPFILES); point in client coordinates.
BOOL compat_drop_files(HWND hwnd, int x, int y, const char* const* names, int count);

// Message boxes: answers are taken in order by the next boxes. A box with an answer waits
// after_ms on the clock (running its nested loop) before it closes with that answer. A box
// without a scripted answer closes with IDOK (headless) or waits for the user (X11).
void compat_message_box_answer(int answer, DWORD after_ms);
// Called in each round of a box's nested loop; returns 0 to keep the box open, or the answer.
typedef int (*CompatMessageBoxHook)(void* context, HWND box, const char* text, const char* caption);
void compat_message_box_hook(CompatMessageBoxHook hook, void* context);
// Count of boxes shown so far, and the text and caption of the last one.
int compat_message_box_count(void);
const char* compat_message_box_last_text(void);
const char* compat_message_box_last_caption(void);

// Called before each message reaches a window procedure (sent or dispatched).
typedef void (*CompatMessageSpy)(void* context, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void compat_set_message_spy(CompatMessageSpy spy, void* context);
// Called when GetMessageA would wait; may inject input, advance the clock or post quit.
typedef void (*CompatIdleHook)(void* context);
void compat_set_idle_hook(CompatIdleHook hook, void* context);

typedef struct CompatCaretInfo {
  HWND hwnd;  // owner, NULL without a caret
  int x, y;   // client position
  int width, height;
  int hideCount;  // 0: shown
  BOOL blinkOn;   // the blink phase: drawn now
} CompatCaretInfo;
BOOL compat_caret_info(CompatCaretInfo* info);
// The cursor SetCursor last chose.
HCURSOR compat_current_cursor(void);
// The system cursor identifier (32512 ...) of a loaded cursor, 0 for a created one.
UINT compat_cursor_id(HCURSOR cursor);

// Pixels of a window's client area as drawn on its top-level surface (0x00RRGGBB per pixel,
// row by row). Returns the number of pixels written, 0 on failure.
size_t compat_read_pixels(HWND hwnd, uint32_t* out, size_t capacity);
// One pixel in client coordinates as a COLORREF; CLR_INVALID outside the window.
COLORREF compat_get_pixel(HWND hwnd, int x, int y);
// Saves the surface of a top-level window (or the top-level of hwnd) as a PNG file.
BOOL compat_save_png(HWND hwnd, const char* path);
// The X window id showing a top-level window (0 when headless).
unsigned long compat_x11_window(HWND hwnd);

// Destroys every window and clears queues, timers, focus, capture, caret and clipboard:
// a fresh window system for the next test.
void compat_reset_windows(void);

#endif
