// The registry script with the install folder filled in, and the one routine that starts the
// programs of the install road.
#include <windows.h>

#include <stdlib.h>

#include "RKFileStream.h"
#include "Setup.h"
#include "SetupStartUp.h"

namespace RKSDK {

namespace {

// A text as string data of a registry script: each backslash and double quote character
// escaped, in one pass so that nothing inserted is looked at again. A double-byte character is
// copied whole: its second byte may be the byte of a backslash, and doubling that would end the
// string early.
RKString scriptString(const RKString& text) {
  RKString out;
  if (!text.length) return out;
  char* escaped = (char*)malloc((size_t)text.length * 2 + 1);
  if (!escaped) return out;
  u32 n = 0;
  for (u32 i = 0, size = 0; i < text.length; i += size) {
    size = text.charLength(i);
    char c = text.data[i];
    if (size == 1 && (c == '\\' || c == '"')) escaped[n++] = '\\';
    for (u32 k = 0; k < size; ++k) escaped[n++] = text.data[i + k];
  }
  out.assign(escaped, n);
  free(escaped);
  return out;
}

}  // namespace

void Setup::runRegistryScript(RKString suffix) {
  RKString input = getSetupFolder() + "setup" + suffix + ".reg";
  RKString output = getSetupFolder() + "setup_temp" + suffix + ".reg";
  rewriteRegistryScript(input, output);
  // Without a script there is nothing to import.
  RKString script = shortPathOf(output);
  if (!script.isEmpty()) startProcess("regedit.exe /s \"" + script + "\"");
}

void Setup::rewriteRegistryScript(RKString input, RKString output) {
  RKString replacement = scriptString(pathField->getText());
  RKString marker = getProperty("regist_root");
  RKFileStream in;
  if (!in.open(input, RK_STREAM_READ)) return;
  RKFileStream out;
  if (!out.open(output, RK_STREAM_WRITE)) {
    in.close();
    return;
  }
  RKString line;
  while (in.available() != -1) {
    if (!readLine(&in, line)) break;
    if (!marker.isEmpty()) line.replaceAll(marker.data, replacement.data ? replacement.data : "");
    if (line.length) out.write(line.data, (int)line.length);
  }
  in.close();
  out.close();
}

int Setup::readLine(IRKIOStream* stream, RKString& out) {
  int start = stream->tell();
  char c = 0;
  while (stream->read(&c, 1) == 1 && c != '\n') {
  }
  int n = stream->tell() - start;
  if (start < 0 || n < 0) return 0;
  char* bytes = (char*)malloc((size_t)n + 1);
  if (!bytes) return 0;
  if (!stream->seek(start, RK_SEEK_SET) || (n > 0 && stream->read(bytes, n) != n)) {
    free(bytes);
    return 0;
  }
  bytes[n] = 0;
  // As text: a zero byte ends the line's text.
  out = bytes;
  free(bytes);
  return 1;
}

void Setup::startProcess(RKString commandLine) {
  if (commandLine.isEmpty()) return;
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  memset(&process, 0, sizeof process);
  // Nobody waits for the program, so its handles are let go at once.
  if (CreateProcessA(NULL, commandLine.data, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

}  // namespace RKSDK
