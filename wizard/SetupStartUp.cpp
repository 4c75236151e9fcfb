#include "SetupStartUp.h"

#include <stdlib.h>

#include "RKFile.h"
#include "RKFileStream.h"
#include "Setup.h"

namespace RKSDK {

RKString setupFolder;
RKProperties chineseProperties;
RKProperties englishProperties;
RKProperties* currentProperties = &chineseProperties;
int languageIndex = 0;
TRKList<FILENODE> packageList;
RKString packageRoot;

namespace {

// The program's folder with "\" appended; "" when it cannot be found.
RKString moduleFolderWithSeparator() {
  RKFile* folder = RKFile::getModuleFolder();
  if (!folder) return RKString();
  RKString path = folder->getPath();
  folder->release();
  if (path.isEmpty()) return RKString();
  return path + "\\";
}

// The keys without which the install writes wrong things: the product folder, the names of the
// shortcuts, their folders and targets, and the registry script's install-path marker. Interface
// texts are not among them: a missing one reads as empty and the widget stays blank.
const char* const kRequiredKeys[] = {"productfold", "sub_dir", "start_app", "uninstall_app", "regist_root"};

// 1 when every required key has a value; an empty or cut-off settings file has not.
int hasInstallSettings(RKProperties& settings) {
  for (const char* key : kRequiredKeys)
    if (settings.getString(key, "").isEmpty()) return 0;
  return 1;
}

}  // namespace

int startUp() {
  currentProperties = &chineseProperties;
  setupFolder = moduleFolderWithSeparator();
  if (setupFolder.isEmpty()) return 0;
  if (!chineseProperties.load(setupFolder + "setup_cn.properties")) return 0;
  if (!englishProperties.load(setupFolder + "setup_en.properties")) return 0;
  if (!hasInstallSettings(chineseProperties) || !hasInstallSettings(englishProperties)) return 0;
  packageRoot = setupFolder + getProperty("productfold");
  scanPackageFolder(packageRoot, packageRoot, &packageList);
  return 1;
}

int runSetup(HINSTANCE instance) {
  if (!startUp()) return 0;
  Setup* window = new Setup();
  window->addRef();
  window->create(RKCreateInfo{instance, nullptr});
  window->release();
  return 0;
}

RKString getProperty(RKString key) { return currentProperties->getString(key, ""); }

int getFontSize(RKString key) {
  RKString value = currentProperties->getString(key, "0");
  if (value.isEmpty()) return 0;
  return (int)strtol(value.data, nullptr, 10);
}

RKString getSetupFolder() { return setupFolder; }

RKString loadLicenseText() {
  RKString folder = moduleFolderWithSeparator();
  RKString name = languageIndex == 0 ? "license_cn.txt" : "license_en.txt";
  RKFileStream stream;
  if (!stream.open(folder + name, 0)) return RKString();
  // The stream reports -1 at its end, so an empty file gives no count at all.
  int n = stream.available();
  RKString text;
  if (n > 0) {
    char* bytes = (char*)malloc((size_t)n + 1);
    if (bytes) {
      int got = stream.read(bytes, n);
      if (got > 0) text.assign(bytes, (u32)got);
      free(bytes);
    }
  }
  stream.close();
  return text;
}

void scanPackageFolder(RKString root, RKString folder, TRKList<FILENODE>* list) {
  RKFile dir(folder);
  TRKList<RKFile*> children;
  if (!dir.listFiles(&children)) return;
  if (!children.moveFirst()) return;
  // The root and the separator after it, whether or not the root ends in one.
  int cut = (int)root.length;
  if (!root.isEmpty() && !root.endsWith('\\')) ++cut;
  do {
    RKFile* child = *children.getCurrent();
    RKString path = child->getPath();
    FILENODE node;
    node.path = path.substring(cut, -1);
    if (child->isDirectory()) {
      node.kind = FILENODE_KIND_FOLDER;
      list->addLast(node);
      scanPackageFolder(root, path, list);
    } else {
      node.kind = FILENODE_KIND_FILE;
      node.size = (u32)child->length();
      list->addLast(node);
    }
    child->release();
  } while (children.moveNext());
}

}  // namespace RKSDK
