// The input script (compat_input_script.h): a line-based list of steps that the idle hook of the
// message loop carries out one by one, so that a program on the headless display can be driven
// from outside as a process.
#include "winsys_internal.h"

#include "compat_input_script.h"
#include "compat_shell.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>

namespace rkwin {
bool inputScriptWatching = false;
}

using namespace rkwin;

namespace {

enum class Op {
  Click,
  Key,
  Type,
  WaitVisible,
  WaitHidden,
  WaitEnabled,
  WaitDisabled,
  WaitPixel,
  AnswerBox,
  AnswerBrowser,
  Shot
};

enum Modifier : unsigned { kShift = 1, kCtrl = 2, kAlt = 4 };

struct Step {
  Op op = Op::Click;
  int line = 0;
  std::string source;  // the line as written, for reports
  int x = 0, y = 0;
  std::string text;  // typed text, window class, browser path or file name
  bool hasText = false;
  UINT vk = 0;
  unsigned modifiers = 0;
  int number = 0;  // box answer
  COLORREF colour = 0;
};

// What a step did this round.
enum class Outcome { Done, Injected, Waiting, Failed };

uint64_t wallMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
}

std::string trim(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
  return s.substr(a, b - a);
}

std::vector<std::string> words(const std::string& s) {
  std::vector<std::string> out;
  std::istringstream in(s);
  std::string w;
  while (in >> w) out.push_back(w);
  return out;
}

bool toInt(const std::string& s, int* out) {
  if (s.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long v = std::strtol(s.c_str(), &end, 10);
  if (errno || *end || v < -1000000 || v > 1000000) return false;
  *out = int(v);
  return true;
}

std::string upper(std::string s) {
  for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool keyCode(const std::string& name, UINT* vk) {
  static const struct {
    const char* name;
    UINT vk;
  } named[] = {{"RETURN", VK_RETURN}, {"ENTER", VK_RETURN},  {"TAB", VK_TAB},   {"ESCAPE", VK_ESCAPE},
               {"ESC", VK_ESCAPE},    {"SPACE", VK_SPACE},   {"BACK", VK_BACK}, {"BACKSPACE", VK_BACK},
               {"DELETE", VK_DELETE}, {"INSERT", VK_INSERT}, {"HOME", VK_HOME}, {"END", VK_END},
               {"LEFT", VK_LEFT},     {"RIGHT", VK_RIGHT},   {"UP", VK_UP},     {"DOWN", VK_DOWN},
               {"PRIOR", VK_PRIOR},   {"PAGEUP", VK_PRIOR},  {"NEXT", VK_NEXT}, {"PAGEDOWN", VK_NEXT}};
  std::string n = upper(name);
  if (n.size() == 1 && (std::isalnum(static_cast<unsigned char>(n[0])))) {
    *vk = UINT(static_cast<unsigned char>(n[0]));
    return true;
  }
  if (n.size() >= 2 && n.size() <= 3 && n[0] == 'F') {
    int f = 0;
    if (toInt(n.substr(1), &f) && f >= 1 && f <= 12) {
      *vk = UINT(VK_F1 + f - 1);
      return true;
    }
  }
  for (const auto& k : named) {
    if (n == k.name) {
      *vk = k.vk;
      return true;
    }
  }
  return false;
}

bool boxAnswer(const std::string& word, int* answer) {
  static const struct {
    const char* name;
    int id;
  } named[] = {{"OK", 1}, {"CANCEL", 2}, {"ABORT", 3}, {"RETRY", 4}, {"IGNORE", 5}, {"YES", 6}, {"NO", 7}};
  std::string w = upper(word);
  for (const auto& n : named) {
    if (w == n.name) {
      *answer = n.id;
      return true;
    }
  }
  return toInt(word, answer) && *answer > 0;
}

bool colourOf(const std::string& hex, COLORREF* out) {
  if (hex.size() != 6) return false;
  for (char c : hex)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  unsigned long v = std::strtoul(hex.c_str(), nullptr, 16);
  *out = RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
  return true;
}

// Reads one line into a step; returns the complaint for a bad line ("" when it is good).
std::string parseLine(const std::string& raw, Step* step) {
  std::string line = trim(raw);
  size_t cut = line.find_first_of(" \t");
  std::string command = line.substr(0, cut);
  // The rest after exactly one separator: typed text keeps its own blanks.
  std::string rest = cut == std::string::npos ? std::string() : raw.substr(raw.find(command) + command.size() + 1);
  while (!rest.empty() && (rest.back() == '\r' || rest.back() == '\n')) rest.pop_back();
  std::vector<std::string> args = words(rest);
  auto point = [&](size_t extra, size_t optional) -> bool {
    if (args.size() < 2 + extra || args.size() > 2 + extra + optional) return false;
    return toInt(args[0], &step->x) && toInt(args[1], &step->y);
  };

  if (command == "click") {
    step->op = Op::Click;
    return point(0, 0) ? "" : "click wants X Y";
  }
  if (command == "key") {
    step->op = Op::Key;
    if (args.size() != 1) return "key wants one key, e.g. key shift+HOME";
    std::string spec = args[0];
    for (;;) {
      size_t plus = spec.find('+');
      if (plus == std::string::npos || plus + 1 == spec.size()) break;
      std::string mod = upper(spec.substr(0, plus));
      if (mod == "SHIFT")
        step->modifiers |= kShift;
      else if (mod == "CTRL" || mod == "CONTROL")
        step->modifiers |= kCtrl;
      else if (mod == "ALT")
        step->modifiers |= kAlt;
      else
        return "unknown modifier '" + spec.substr(0, plus) + "'";
      spec = spec.substr(plus + 1);
    }
    if (!keyCode(spec, &step->vk)) return "unknown key '" + spec + "'";
    return "";
  }
  if (command == "type") {
    step->op = Op::Type;
    step->text = rest;
    return rest.empty() ? "type wants a text" : "";
  }
  static const struct {
    const char* name;
    Op op;
  } waits[] = {{"wait-visible", Op::WaitVisible},
               {"wait-hidden", Op::WaitHidden},
               {"wait-enabled", Op::WaitEnabled},
               {"wait-disabled", Op::WaitDisabled}};
  for (const auto& w : waits) {
    if (command == w.name) {
      step->op = w.op;
      if (!point(0, 1)) return command + " wants X Y and perhaps a window class";
      if (args.size() == 3) {
        step->text = args[2];
        step->hasText = true;
      }
      return "";
    }
  }
  if (command == "wait-pixel") {
    step->op = Op::WaitPixel;
    if (!point(1, 0) || !colourOf(args[2], &step->colour)) return "wait-pixel wants X Y RRGGBB";
    return "";
  }
  if (command == "answer-box") {
    step->op = Op::AnswerBox;
    if (args.empty() || !boxAnswer(args[0], &step->number))
      return "answer-box wants OK, CANCEL, YES, NO, ABORT, RETRY, IGNORE or a number, perhaps then the box's text";
    // The rest after the answer, as written: the text the box is to show.
    size_t at = rest.find(args[0]) + args[0].size();
    step->text = trim(rest.substr(at));
    step->hasText = !step->text.empty();
    return "";
  }
  if (command == "answer-browser") {
    step->op = Op::AnswerBrowser;
    step->text = trim(rest);
    step->hasText = !step->text.empty();
    return "";
  }
  if (command == "shot") {
    step->op = Op::Shot;
    step->text = trim(rest);
    return step->text.empty() ? "shot wants a file name" : "";
  }
  return "unknown step '" + command + "'";
}

// Makes every missing folder of a host path's parent.
void makeParents(const std::string& path) {
  for (size_t i = 1; i < path.size(); ++i) {
    if (path[i] != '/') continue;
    mkdir(path.substr(0, i).c_str(), 0777);
  }
}

class InputScript {
 public:
  InputScript(const std::string& name, const std::string& folder, int timeoutSeconds)
      : name(name),
        folder(folder),
        timeoutMs(uint64_t(timeoutSeconds > 0 ? timeoutSeconds : 60) * 1000u),
        started(wallMs()) {}

  bool parse(const std::string& text) {
    std::istringstream in(text);
    std::string raw;
    int number = 0;
    bool good = true;
    while (std::getline(in, raw)) {
      ++number;
      std::string line = trim(raw);
      if (line.empty() || line[0] == '#') continue;
      Step step;
      step.line = number;
      step.source = line;
      std::string complaint = parseLine(raw, &step);
      if (!complaint.empty()) {
        reportAt(number, complaint + ": " + line);
        good = false;
        continue;
      }
      steps.push_back(step);
    }
    if (!good) state = COMPAT_SCRIPT_FAILED;
    return good;
  }

  void failWith(const std::string& message) {
    report(message);
    state = COMPAT_SCRIPT_FAILED;
  }

  void idle() {
    if (state == COMPAT_SCRIPT_FAILED) {
      PostQuitMessage(1);
      return;
    }
    uint64_t elapsed = wallMs() - started;
    if (elapsed > timeoutMs) {
      if (state == COMPAT_SCRIPT_RUNNING) {
        std::string why = waitingFor.empty() ? "" : " (" + waitingFor + ")";
        reportAt(line(), "timed out after " + std::to_string(timeoutMs / 1000) + " s at: " + steps[next].source + why);
      } else {
        reportAt(line(), "the program still runs " + std::to_string(timeoutMs / 1000) +
                             " s after the script started and its last step ran");
      }
      state = COMPAT_SCRIPT_FAILED;
      inputScriptWatching = false;
      PostQuitMessage(1);
      return;
    }
    std::string mismatch = messageBoxMismatch();
    if (!mismatch.empty()) {
      reportAt(line(), mismatch);
      state = COMPAT_SCRIPT_FAILED;
      PostQuitMessage(1);
      return;
    }
    if (state != COMPAT_SCRIPT_RUNNING) {
      pause();  // every step ran: the program is expected to end by itself
      return;
    }
    while (next < steps.size()) {
      waitingFor.clear();
      Outcome o = run(steps[next]);
      if (o == Outcome::Waiting) {
        pause();
        return;
      }
      if (o == Outcome::Failed) {
        state = COMPAT_SCRIPT_FAILED;
        PostQuitMessage(1);
        return;
      }
      ++next;
      // A pixel step watches from now on, so that it sees what the input just queued draws.
      if (next < steps.size() && steps[next].op == Op::WaitPixel) {
        watchedWindow = mainWindow();
        inputScriptWatching = watchedWindow != nullptr;
      }
      if (o == Outcome::Injected) break;
    }
    if (next >= steps.size()) state = COMPAT_SCRIPT_FINISHED;
  }

  // Before each message: a window may draw outside its paint, so the pixel is looked at here too.
  void observe() {
    if (state != COMPAT_SCRIPT_RUNNING || next >= steps.size() || steps[next].op != Op::WaitPixel) {
      inputScriptWatching = false;
      return;
    }
    const Step& s = steps[next];
    if (watchedWindow && compat_get_pixel(watchedWindow, s.x, s.y) == s.colour) {
      pixelSeen = true;
      inputScriptWatching = false;
    }
  }

  int line() const {
    if (steps.empty()) return 0;
    if (next < steps.size()) return steps[next].line;
    return steps.back().line;
  }

  int state = COMPAT_SCRIPT_RUNNING;
  std::string lastReport;

 private:
  // On a virtual clock with nothing due the loop does not sleep: let real time pass for the
  // timeout while the script waits.
  static void pause() {
    if (st().virtualClock && nextDue() < 0) usleep(1000);
  }
  void report(const std::string& message) {
    lastReport = "input script " + name + ": " + message;
    std::fprintf(stderr, "%s\n", lastReport.c_str());
    std::fflush(stderr);
  }
  void reportAt(int at, const std::string& message) {
    lastReport = "input script " + name + ":" + std::to_string(at) + ": " + message;
    std::fprintf(stderr, "%s\n", lastReport.c_str());
    std::fflush(stderr);
  }

  // The program's main window: the first live, visible top-level window without an owner that
  // is not a message box.
  static HWND mainWindow() {
    for (const auto& w : st().all) {
      if (w->dead || w->destroying || w->parent || w->owner || !(w->style & WS_VISIBLE)) continue;
      if (w->cls && w->cls->name == "#32770") continue;
      return w->handle;
    }
    return nullptr;
  }

  // The window hit at a client point of the main window: the deepest visible child on the path
  // a click would take, or, with a class, the deepest one of that class on it.
  static Wnd* childAt(HWND mainHwnd, int x, int y, const std::string* cls) {
    Wnd* w = wndQuiet(mainHwnd);
    Wnd* found = nullptr;
    POINT p = {x, y};
    while (w) {
      Wnd* hit = nullptr;
      for (Wnd* c : w->children) {
        if (c->dead || !(c->style & WS_VISIBLE)) continue;
        if (p.x >= c->rect.left && p.x < c->rect.right && p.y >= c->rect.top && p.y < c->rect.bottom) {
          hit = c;
          break;
        }
      }
      if (!hit) break;
      p.x -= hit->rect.left;
      p.y -= hit->rect.top;
      if (!cls || (hit->cls && strcasecmp(hit->cls->name.c_str(), cls->c_str()) == 0)) found = hit;
      w = hit;
    }
    return found;
  }

  Outcome run(const Step& s) {
    HWND mainHwnd = mainWindow();
    if (!mainHwnd) {
      waitingFor = "no main window";
      return Outcome::Waiting;
    }
    if (!IsWindowEnabled(mainHwnd)) {
      waitingFor = "the main window is disabled";
      return Outcome::Waiting;
    }
    switch (s.op) {
      case Op::Click: {
        // Clicks go in as fast as the steps come: a second click at the same point within the
        // double-click time reaches the window as a double click, as a quick user's does.
        compat_click(mainHwnd, s.x, s.y);
        return Outcome::Injected;
      }
      case Op::Key: {
        const UINT mods[] = {VK_SHIFT, VK_CONTROL, VK_MENU};
        for (int i = 0; i < 3; ++i)
          if (s.modifiers & (1u << i)) compat_key(mods[i], TRUE, nullptr);
        compat_key(s.vk, TRUE, nullptr);
        compat_key(s.vk, FALSE, nullptr);
        for (int i = 2; i >= 0; --i)
          if (s.modifiers & (1u << i)) compat_key(mods[i], FALSE, nullptr);
        return Outcome::Injected;
      }
      case Op::Type:
        if (!GetFocus() && !GetActiveWindow()) {
          reportAt(s.line, "no window has the keyboard focus: " + s.source);
          return Outcome::Failed;
        }
        compat_input_text_utf8(s.text.c_str());
        return Outcome::Injected;
      case Op::WaitVisible:
      case Op::WaitHidden:
      case Op::WaitEnabled:
      case Op::WaitDisabled: {
        Wnd* hit = childAt(mainHwnd, s.x, s.y, s.hasText ? &s.text : nullptr);
        bool met = false;
        if (s.op == Op::WaitVisible)
          met = hit != nullptr;
        else if (s.op == Op::WaitHidden)
          met = hit == nullptr;
        else if (hit)
          met = (IsWindowEnabled(hit->handle) != FALSE) == (s.op == Op::WaitEnabled);
        if (!met) {
          waitingFor = hit ? "under the point: " + hit->cls->name : "nothing visible under the point";
          return Outcome::Waiting;
        }
        return Outcome::Done;
      }
      case Op::WaitPixel: {
        COLORREF c = compat_get_pixel(mainHwnd, s.x, s.y);
        if (pixelSeen || c == s.colour) {
          pixelSeen = false;
          watchedWindow = nullptr;
          inputScriptWatching = false;
          return Outcome::Done;
        }
        char seen[32];
        std::snprintf(seen, sizeof seen, "%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
        waitingFor = std::string("the pixel is ") + (c == CLR_INVALID ? "outside the window" : seen);
        watchedWindow = mainHwnd;
        inputScriptWatching = true;
        return Outcome::Waiting;
      }
      case Op::AnswerBox:
        if (s.hasText)
          messageBoxAnswerIfText(s.number, utf8ToAnsi(s.text));
        else
          compat_message_box_answer(s.number, 0);
        return Outcome::Done;
      case Op::AnswerBrowser:
        compat_folder_browser_answer(s.hasText ? utf8ToAnsi(s.text).c_str() : nullptr);
        return Outcome::Done;
      case Op::Shot: {
        std::string path = s.text;
        if (path[0] != '/') path = (folder.empty() ? std::string(".") : folder) + "/" + path;
        makeParents(path);
        if (!compat_save_png(mainHwnd, path.c_str())) {
          reportAt(s.line, "cannot save " + path);
          return Outcome::Failed;
        }
        return Outcome::Done;
      }
    }
    return Outcome::Failed;
  }

  std::string name, folder;
  uint64_t timeoutMs;
  uint64_t started;
  std::vector<Step> steps;
  size_t next = 0;
  std::string waitingFor;
  HWND watchedWindow = nullptr;
  bool pixelSeen = false;
};

std::unique_ptr<InputScript>& script() {
  static std::unique_ptr<InputScript> s;
  return s;
}
std::string& lastReport() {
  static std::string r;
  return r;
}

void idleThunk(void*) {
  if (InputScript* s = script().get()) {
    s->idle();
    lastReport() = s->lastReport;
  }
}

std::string folderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

namespace rkwin {

void inputScriptObserve() {
  if (InputScript* s = script().get())
    s->observe();
  else
    inputScriptWatching = false;
}

void inputScriptFromEnvironment() {
  static bool checked = false;
  if (checked) return;
  checked = true;
  const char* env = getenv("RKWIN_INPUT_SCRIPT");
  if (!env || !*env || compat_display_kind() != COMPAT_DISPLAY_HEADLESS) return;
  std::string file = env;
  unsetenv("RKWIN_INPUT_SCRIPT");
  int timeout = 60;
  if (const char* t = getenv("RKWIN_INPUT_TIMEOUT")) {
    if (!toInt(t, &timeout) || timeout <= 0) {
      std::fprintf(stderr, "input script %s: RKWIN_INPUT_TIMEOUT '%s' is no positive number of seconds; using 60\n",
                   file.c_str(), t);
      timeout = 60;
    }
  }
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  if (!in) {
    // Unreadable: the program quits rather than wait for input that never comes.
    compat_input_script_start("", file.c_str(), nullptr, timeout);
    script()->failWith("cannot read the script file");
    lastReport() = script()->lastReport;
    return;
  }
  compat_input_script_start(text.str().c_str(), file.c_str(), folderOf(file).c_str(), timeout);
}

}  // namespace rkwin

BOOL compat_input_script_start(const char* text, const char* name, const char* folder, int timeoutSeconds) {
  compat_input_script_stop();
  script().reset(new InputScript(name ? name : "(text)", folder ? folder : "", timeoutSeconds));
  bool good = script()->parse(text ? text : "");
  lastReport() = script()->lastReport;
  compat_set_idle_hook(&idleThunk, nullptr);
  return good;
}

int compat_input_script_state(void) { return script() ? script()->state : COMPAT_SCRIPT_NONE; }

int compat_input_script_line(void) { return script() ? script()->line() : 0; }

const char* compat_input_script_report(void) { return lastReport().c_str(); }

void compat_input_script_stop(void) {
  if (!script()) return;
  compat_set_idle_hook(nullptr, nullptr);
  script().reset();
  inputScriptWatching = false;
}
