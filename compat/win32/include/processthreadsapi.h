// processthreadsapi declarations of the stand-in.
#ifndef RKWIN_PROCESSTHREADSAPI_H
#define RKWIN_PROCESSTHREADSAPI_H

#include "windef.h"
#include "winerror.h"
#include "minwinbase.h"

// Start-up description of a new process (104 bytes on 64-bit Windows).
typedef struct _STARTUPINFOA {
  DWORD cb;
  LPSTR lpReserved;
  LPSTR lpDesktop;
  LPSTR lpTitle;
  DWORD dwX;
  DWORD dwY;
  DWORD dwXSize;
  DWORD dwYSize;
  DWORD dwXCountChars;
  DWORD dwYCountChars;
  DWORD dwFillAttribute;
  DWORD dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  LPBYTE lpReserved2;
  HANDLE hStdInput;
  HANDLE hStdOutput;
  HANDLE hStdError;
} STARTUPINFOA, *LPSTARTUPINFOA;

typedef struct _PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
} PROCESS_INFORMATION, *PPROCESS_INFORMATION, *LPPROCESS_INFORMATION;

BOOL WINAPI CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine, LPSECURITY_ATTRIBUTES lpProcessAttributes,
                           LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles, DWORD dwCreationFlags,
                           LPVOID lpEnvironment, LPCSTR lpCurrentDirectory, LPSTARTUPINFOA lpStartupInfo,
                           LPPROCESS_INFORMATION lpProcessInformation);

#define PROCESS_TERMINATE 0x0001
#define PROCESS_QUERY_INFORMATION 0x0400
#define SYNCHRONIZE 0x00100000L
#define PROCESS_ALL_ACCESS 0x001FFFFF

// Opens a process of the emulated machine by id; NULL for any other process.
HANDLE WINAPI OpenProcess(DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwProcessId);
// Ends a process of the emulated machine at once.
BOOL WINAPI TerminateProcess(HANDLE hProcess, UINT uExitCode);
DWORD WINAPI GetCurrentProcessId(void);
// The session of the calling process or of a process of the emulated machine; FALSE with
// ERROR_INVALID_PARAMETER for any other id or a null pSessionId.
BOOL WINAPI ProcessIdToSessionId(DWORD dwProcessId, DWORD* pSessionId);

#endif
