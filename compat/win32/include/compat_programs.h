// Stand-in extensions around the system programs of the emulated machine (regedit.exe,
// regsvr32.exe, explorer.exe, iexplore.exe): they record each run in a log of the prefix.
#ifndef RKWIN_COMPAT_PROGRAMS_H
#define RKWIN_COMPAT_PROGRAMS_H

#include <string>

// The log's file on the host ($RKWIN_ROOT/programs.log): one line per run,
// "<program> <arguments as received>".
std::string compat_program_log_path();
// Appends one line to the log (used by the system programs themselves).
void compat_log_program_run(const std::string& program, int argc, char** argv);

#endif
