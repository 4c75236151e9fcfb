// Test hooks of the stand-in's shell dialogs (no counterpart on Windows).
#ifndef RKWIN_COMPAT_SHELL_H
#define RKWIN_COMPAT_SHELL_H

// Queues the answer of the next folder browser: a Windows path, or null for Cancel. A browser
// without a queued answer is cancelled.
void compat_folder_browser_answer(const char* windowsPath);
// Count of folder browsers opened so far, and the title and owner flags of the last one.
int compat_folder_browser_count(void);
const char* compat_folder_browser_last_title(void);
unsigned compat_folder_browser_last_flags(void);

#endif
