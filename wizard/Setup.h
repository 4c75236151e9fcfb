// The wizard's one window: every widget of all pages at once, the page switch, the action
// handler, the folder browser and the language switch.
#ifndef RKSDK_SETUP_H
#define RKSDK_SETUP_H

#include "RKButton.h"
#include "RKCheckBox.h"
#include "RKComboBox.h"
#include "RKEdit.h"
#include "FILENODE.h"
#include "IRKIOStream.h"
#include "RKGuage.h"
#include "RKLabel.h"
#include "RKListBox.h"
#include "RKRadioButton.h"
#include "RKTextView.h"
#include "RKWindow.h"
#include "SetupImgView.h"

namespace RKSDK {

class Setup : public RKWindow {
 public:
  Setup();
  ~Setup() override;

  int actionPerformed(RKObject* source, u32 id, u64 parameter) override;
  u32 paint(RKRect area, IRKGraphics* graphics) override;

  virtual void hideAllPages();
  virtual void showPage();
  // Re-texts the window after currentProperties has changed.
  virtual void applyLanguage();
  // The text for pathField after the folder browser: the chosen folder + productfold, or the
  // current text when nothing was chosen.
  virtual RKString browseFolder(RKString current);

  // The copy: one package entry per timer tick, then the rest of the install road.
  u32 timerFired() override;
  virtual int onTimer();
  // Stops the desktop shells of Setup's own session, unregisters the installed shell extension
  // and starts the shell again, so that a locked extension can be overwritten.
  virtual void releaseShellExtension();
  virtual void restartExplorer();

  // Start-menu folders, the three shortcuts and the uninstall list; installFolder ends in "\".
  virtual void createShortcuts(RKString installFolder);
  virtual void createShortcut(RKString target, RKString shortcut, RKString description, RKString icon);
  virtual void writeInstallList(RKString listPath, RKString installFolder, RKString uninstallShortcut,
                                RKString programShortcut, RKString menuSubFolder, RKString menuFolder,
                                RKString desktopShortcut);

  // setup<suffix>.reg rewritten into setup_temp<suffix>.reg with the install folder in place of
  // the marker, then imported by the registry editor.
  virtual void runRegistryScript(RKString suffix);
  virtual void rewriteRegistryScript(RKString input, RKString output);
  // One line with its line end (if any) into out; 0 when nothing could be read back.
  static int readLine(IRKIOStream* stream, RKString& out);
  // Starts a program from a command line and returns at once.
  virtual void startProcess(RKString commandLine);

  // The associations of the ticked format boxes; 1.
  virtual int registerFileLinks();
  // Every entry of one extension (".JPEG") and its line in filelink.txt; 1.
  virtual int registerExtension(RKString extension);
  // Registry helpers under HKEY_CLASSES_ROOT (setUserChoice under HKEY_CURRENT_USER); 1 or 0.
  virtual int createRegistryKey(RKString parent, RKString name);
  virtual int setRegistryString(RKString key, RKString name, RKString text);
  virtual int replaceRegistryDefault(RKString key, RKString text, RKString& old);
  virtual int setUserChoice(RKString key, RKString identifier, RKString& old);
  virtual void openWebPage(RKString address);

  // The vendor's page opened after finish.
  static const char* const closingPage;

  int page;
  RKButton* prevButton;
  RKButton* nextButton;
  RKButton* exitButton;
  RKComboBox* languageBox;
  SetupImgView* welcomePicture;
  SetupImgView* bannerPicture;
  RKTextView* licenseView;
  RKRadioButton* agreeButton;
  RKRadioButton* disagreeButton;
  RKRadioButtonGroup agreeGroup;
  RKLabel* pathLabel;
  RKEdit* pathField;
  RKButton* browseButton;
  RKLabel* diskLabel;
  RKListBox* diskList;
  RKGuage* gauge;
  RKTextView* copiedFilesView;
  RKLabel* linkListLabel;
  RKCheckBox* selectAllBox;
  RKCheckBox* jpegBox;
  RKCheckBox* pngBox;
  RKCheckBox* jp2Box;
  RKCheckBox* bmpBox;
  RKCheckBox* gifBox;
  RKCheckBox* pcxBox;
  RKCheckBox* pgxBox;
  RKCheckBox* rasBox;
  RKCheckBox* tgaBox;
  RKCheckBox* tiffBox;
  RKCheckBox* jpcBox;
  RKCheckBox* ppmBox;
  RKCheckBox* pgmBox;
  RKCheckBox* pbmBox;
  RKCheckBox* icoBox;
  RKCheckBox* wmfBox;
  int progressCount;
  int explorerStopped;
  // Package entries of the current copy that did not arrive in the install folder.
  int failedEntries;

  // The line of one drive: the pattern's %s filled with root, total and free in turn, %% made
  // one %, anything else kept as it stands (the pattern comes from a file).
  static RKString formatDriveLine(RKString pattern, const char* root, const char* total, const char* free);

 protected:
  // Places, sizes and adds a widget; returns it.
  template <class W>
  W* place(W* widget, int x, int y, int width, int height);
  // The format boxes in member order.
  int formatBoxes(RKCheckBox** boxes);
  void fillDriveList();
  // Sets the picture file named by the key on the panel (the panel keeps none when it fails).
  void loadPicture(SetupImgView* view, const char* key);
  // Carries out a language choice of index 0 or 1 (other values keep the settings).
  void selectLanguage(int index);
  // The install button's folder check; 1 when the folder exists or was made.
  int checkInstallFolder();
  // Copies one package entry into the install folder.
  void copyEntry(FILENODE* entry);
  // After the last entry: shortcuts, uninstall list, registry script, shell extension, page 5;
  // when an entry failed, none of these but the folder message and the folder page again.
  void finishCopy();
  // The folder page's message that the install folder could not be made.
  void reportFolderFailure();
  // Back on the folder page after a failed copy, ready for another folder or the exit.
  void returnToFolderPage();
  // The system's short form of a path; "" when the file is missing or the form is too long.
  static RKString shortPathOf(RKString path);
};

}  // namespace RKSDK

#endif
