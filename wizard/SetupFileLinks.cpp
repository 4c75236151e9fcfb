// The file associations of the ticked image formats, the record of the values they replace,
// and the closing web page.
#include <windows.h>

#include <shellapi.h>
#include <string.h>

#include "LOGICDRIVERS.h"
#include "RKFileStream.h"
#include "Setup.h"
#include "SetupStartUp.h"

namespace RKSDK {

namespace {

const char* const kFileExts = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";

const char* textOf(const RKString& s) { return s.data ? s.data : ""; }

int createKeyBelow(HKEY root, const RKString& parent, const RKString& name) {
  HKEY parentKey;
  if (RegOpenKeyExA(root, textOf(parent), 0, KEY_ALL_ACCESS, &parentKey) != ERROR_SUCCESS) return 0;
  HKEY key;
  LONG rc = RegCreateKeyExA(parentKey, textOf(name), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
  if (rc == ERROR_SUCCESS) RegCloseKey(key);
  RegCloseKey(parentKey);
  return rc == ERROR_SUCCESS ? 1 : 0;
}

LONG setString(HKEY key, const RKString& name, const RKString& text) {
  return RegSetValueExA(key, textOf(name), 0, REG_SZ, (const BYTE*)textOf(text), text.length + 1);
}

// A value of the key as text: only when it reads, is of a string type and ends within the
// buffer; "" otherwise.
RKString readString(HKEY key, const char* name) {
  char buffer[256] = {0};
  DWORD type = 0;
  DWORD size = sizeof buffer;
  if (RegQueryValueExA(key, name, NULL, &type, (BYTE*)buffer, &size) != ERROR_SUCCESS) return RKString();
  if (type != REG_SZ && type != REG_EXPAND_SZ) return RKString();
  if (!memchr(buffer, 0, sizeof buffer)) return RKString();
  return RKString(buffer);
}

}  // namespace

int Setup::registerFileLinks() {
  struct Format {
    RKCheckBox* box;
    const char* extensions[2];
  };
  const Format formats[] = {
      {jpegBox, {".JPEG", ".JPG"}}, {pngBox, {".PNG"}},           {jp2Box, {".JP2"}},          {bmpBox, {".BMP"}},
      {gifBox, {".GIF"}},           {pcxBox, {".PCX"}},           {pgxBox, {".PGX"}},          {rasBox, {".RAS"}},
      {tgaBox, {".TGA"}},           {tiffBox, {".TIFF", ".TIF"}}, {jpcBox, {".JPC"}},          {ppmBox, {".PPM"}},
      {pgmBox, {".PGM"}},           {pbmBox, {".PBM"}},           {icoBox, {".ICO", ".ICON"}}, {wmfBox, {".WMF"}},
  };
  for (const Format& f : formats) {
    if (!f.box->isChecked()) continue;
    for (const char* extension : f.extensions)
      if (extension) registerExtension(extension);
  }
  return 1;
}

int Setup::registerExtension(RKString extension) {
  const RKString& x = extension;
  RKString bare = x.substring(1, -1);
  RKString id = "Vantry" + x;
  RKString folder = pathField->getText();
  bool windows7 = checkWindowsVersion() == RK_WINDOWS_7;

  createRegistryKey("", x);
  RKString old;
  if (!windows7) {
    replaceRegistryDefault(x, id, old);
    setRegistryString(x, "PerceivedType", "image");
    setRegistryString(x, "Content Type", "image/" + bare);
    createRegistryKey(x, "UndoClass");
    setRegistryString(x + "\\UndoClass", "", "Paint.Picture");
  }
  createRegistryKey(x, "OpenWithProgids");
  setRegistryString(x + "\\OpenWithProgids", id, "");
  createRegistryKey("", id);
  setRegistryString(id, "", bare + " Image");
  createRegistryKey(id, "DefaultIcon");
  setRegistryString(id + "\\DefaultIcon", "", folder + "\\Vantry" + "\\images\\" + bare + ".ico,0");
  createRegistryKey(id, "FriendlyTypeName");
  setRegistryString(id + "\\FriendlyTypeName", "", "@C:\\WINDOWS\\system32\\mspaint.exe,-59419");
  createRegistryKey(id, "shell");
  setRegistryString(id + "\\shell", "", "Open");
  createRegistryKey(id + "\\shell", "Open");
  setRegistryString(id + "\\shell\\Open", "", "Open with Vantry");
  createRegistryKey(id + "\\shell\\Open", "Command");
  setRegistryString(id + "\\shell\\Open" + "\\Command", "", "\"" + folder + "\\Vantry" + "\\VantryView.exe\" \"%1\"");
  if (windows7) {
    RKString fileExts = kFileExts;
    createKeyBelow(HKEY_CURRENT_USER, fileExts, x);
    createKeyBelow(HKEY_CURRENT_USER, fileExts + "\\" + x, "UserChoice");
    setUserChoice(fileExts + "\\" + x + "\\UserChoice", id, old);
  }
  if (!old.isEmpty()) {
    RKFileStream record;
    if (record.open(folder + "\\" + getProperty("sub_dir") + "\\filelink.txt", RK_STREAM_APPEND)) {
      RKString line = x + "=" + old + "\r\n";
      record.write(line.data, (int)line.length);
      record.close();
    }
  }
  return 1;
}

int Setup::createRegistryKey(RKString parent, RKString name) { return createKeyBelow(HKEY_CLASSES_ROOT, parent, name); }

int Setup::setRegistryString(RKString key, RKString name, RKString text) {
  HKEY handle;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, textOf(key), 0, KEY_ALL_ACCESS, &handle) != ERROR_SUCCESS) return 0;
  LONG rc = setString(handle, name, text);
  RegCloseKey(handle);
  return rc == ERROR_SUCCESS ? 1 : 0;
}

int Setup::replaceRegistryDefault(RKString key, RKString text, RKString& old) {
  HKEY handle;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, textOf(key), 0, KEY_ALL_ACCESS, &handle) != ERROR_SUCCESS) return 0;
  old = readString(handle, "");
  LONG rc = setString(handle, "", text);
  RegCloseKey(handle);
  return rc == ERROR_SUCCESS ? 1 : 0;
}

int Setup::setUserChoice(RKString key, RKString identifier, RKString& old) {
  HKEY handle;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, textOf(key), 0, KEY_WRITE | KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return 0;
  old = readString(handle, "Progid");
  LONG rc = setString(handle, "Progid", identifier);
  RegCloseKey(handle);
  return rc == ERROR_SUCCESS ? 1 : 0;
}

void Setup::openWebPage(RKString address) {
  ShellExecuteA(NULL, "open", "IEXPLORE.EXE", textOf(address), NULL, SW_SHOWDEFAULT);
}

}  // namespace RKSDK
