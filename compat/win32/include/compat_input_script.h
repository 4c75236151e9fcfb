// Scripted input for the headless display: a program whose environment names a script file in
// RKWIN_INPUT_SCRIPT runs that script from the idle hook of its first message loop, so that a
// whole program can be driven from outside, as a process. No system source includes this header.
//
// The script is read when the first GetMessageA call finds the display headless and no idle hook
// set; the variable is then removed from the environment, so the programs it starts do not run
// the script again. Under X11 the variable is ignored (the user drives the windows).
//
// One step a line; blank lines and lines starting with "#" are skipped. Points are client
// coordinates of the program's main window (its first visible top-level window without an owner
// that is not a message box); input is queued as hardware input and reaches the window under the
// point, as a user's would.
//
//   click X Y                 press and release the left button at the point
//   key [shift+][ctrl+][alt+]NAME
//                             press and release a key: a letter, a digit, F1..F12, RETURN, TAB,
//                             ESCAPE, SPACE, BACK, DELETE, INSERT, HOME, END, LEFT, RIGHT, UP,
//                             DOWN, PRIOR, NEXT
//   type TEXT                 the rest of the line (UTF-8) typed into the window with the focus
//   wait-visible X Y [CLASS]  until a visible child window (of that window class) lies under the point
//   wait-hidden X Y [CLASS]   until none does
//   wait-enabled X Y [CLASS]  until the child under the point (of that class) is enabled
//   wait-disabled X Y [CLASS] until it is disabled
//   wait-pixel X Y RRGGBB     until the window's surface shows that colour at the point; looked at
//                             from the moment the step before it ran, before each message the
//                             program handles, since a window may draw outside its paint and
//                             change the picture again within one message
//   answer-box ANSWER [TEXT]  the answer of the next message box: a number or OK, CANCEL, ABORT,
//                             RETRY, IGNORE, YES, NO; with a TEXT (UTF-8, the rest of the line)
//                             the box must show that text, else the script fails when it is shown
//   answer-browser [PATH]     the answer of the next folder browser: a Windows path (UTF-8, the
//                             rest of the line), none for Cancel
//   shot FILE.png             save the main window's surface; a relative name is taken from the
//                             script file's folder, missing folders are made
//
// Steps run in order, each when the program's queue is empty; no step runs while the main window
// is disabled (a message box is open). Clicks are not spaced out: two clicks at the same point
// within the double-click time reach the window as a click and a double click, as a quick
// user's do. The whole script has RKWIN_INPUT_TIMEOUT seconds
// (default 60): when a step is still waiting then, or the program still runs after the last step,
// the script reports the line on stderr and makes the program quit. A script with a bad line
// reports every bad line and makes the program quit before any step runs; so does a failed shot.
#ifndef RKWIN_COMPAT_INPUT_SCRIPT_H
#define RKWIN_COMPAT_INPUT_SCRIPT_H

#include "windows.h"

enum CompatInputScriptState {
  COMPAT_SCRIPT_NONE = 0,      // no script
  COMPAT_SCRIPT_RUNNING = 1,   // steps are left
  COMPAT_SCRIPT_FINISHED = 2,  // every step ran
  COMPAT_SCRIPT_FAILED = 3     // a bad line, a failed step or the timeout: the program was told to quit
};

// Starts a script given as text, as the environment variable does with a file: name is used in
// reports and folder resolves relative shot names (null: the current folder). Returns FALSE when
// a line is bad (the script then fails at the first idle moment). Replaces any script running.
BOOL compat_input_script_start(const char* text, const char* name, const char* folder, int timeoutSeconds);
int compat_input_script_state(void);
// Line of the step running or waiting now (of the last step once finished; 0 without steps).
int compat_input_script_line(void);
// The last report written to stderr ("" when none).
const char* compat_input_script_report(void);
// Stops the script and removes its idle hook.
void compat_input_script_stop(void);

#endif
