// The wizard's one window: every widget of all pages at once, the page switch, the action
// handler, the folder browser and the language switch.
#ifndef RKSDK_SETUP_H
#define RKSDK_SETUP_H

#include "RKButton.h"
#include "RKCheckBox.h"
#include "RKComboBox.h"
#include "RKEdit.h"
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
};

}  // namespace RKSDK

#endif
