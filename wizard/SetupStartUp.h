// Setup's program-wide state and the start-up that runs before its window exists: the two
// settings files, the text lookups every page uses, the licence text and the walk of the product
// folder into the package list.
#ifndef RKSDK_SETUPSTARTUP_H
#define RKSDK_SETUPSTARTUP_H

#include <windows.h>

#include "FILENODE.h"
#include "RKParam.h"
#include "RKString.h"
#include "TRKList.h"

namespace RKSDK {

// Setup's own folder in long-name form, ending in "\".
extern RKString setupFolder;
extern RKProperties chineseProperties;
extern RKProperties englishProperties;
// The map every text lookup reads; switched by the language box.
extern RKProperties* currentProperties;
// 0 Chinese, 1 English.
extern int languageIndex;
// The product folder's entries, every folder before its contents.
extern TRKList<FILENODE> packageList;
// The product folder the package list was walked from (setupFolder + the start-up
// "productfold"); the copy reads its sources below it whatever the language is later.
extern RKString packageRoot;

// Loads both settings files from beside the program and walks the product folder. 1 when both
// files loaded and carry every key the install road needs, 0 otherwise (nothing is walked then).
int startUp();
// The key's value in the current language, "" when absent.
RKString getProperty(RKString key);
// The key's value read as a decimal integer (leading blanks, optional sign); 0 when empty or
// absent.
int getFontSize(RKString key);
RKString getSetupFolder();
// The licence of the current language as raw bytes; "" when the file is missing, unreadable or
// empty.
RKString loadLicenseText();
// Appends one entry per file and folder below folder, paths relative to root without the
// leading "\"; a folder stands directly before its contents.
void scanPackageFolder(RKString root, RKString folder, TRKList<FILENODE>* list);

// The program's entry: start-up, then the wizard window until its loop has ended and the window
// is released. 0 on every path; no window when the start-up fails.
int runSetup(HINSTANCE instance);

}  // namespace RKSDK

#endif
