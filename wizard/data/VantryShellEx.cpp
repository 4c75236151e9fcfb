// The demo product's shell extension for the Windows build: a server-registration DLL whose
// registration records its own long path under the product's key and whose unregistration
// removes that record again, so that an installation shows whether it was registered.
#include <windows.h>

namespace {

HMODULE self;
const char kKey[] = "SOFTWARE\\Vantry\\ShellExtension";
const char kValue[] = "Server";

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) self = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer() {
  char loaded[MAX_PATH] = {}, path[MAX_PATH] = {};
  if (!GetModuleFileNameA(self, loaded, MAX_PATH)) return E_FAIL;
  // The registration tool may load us by a short path; record the long one.
  if (!GetLongPathNameA(loaded, path, MAX_PATH)) lstrcpynA(path, loaded, MAX_PATH);
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return E_FAIL;
  LONG rc = RegSetValueExA(key, kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(path), lstrlenA(path) + 1);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS ? S_OK : E_FAIL;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllUnregisterServer() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return S_OK;
  LONG rc = RegDeleteValueA(key, kValue);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? S_OK : E_FAIL;
}
