#include "Setup.h"

#include <shlobj.h>
#include <stdio.h>

#include "IRKGraphics.h"
#include "LOGICDRIVERS.h"
#include "RKFile.h"
#include "RKFont.h"
#include "RKImgFileSrc.h"
#include "SetupStartUp.h"

namespace RKSDK {

const char* const Setup::closingPage = "http://www.vantry.example/setup.jsp?pd=1";

namespace {

const int kWindowWidth = 502;
const int kWindowHeight = 398;

// The two folder-check messages and their caption, GBK, in either interface language.
const char* const kFolderMissing =
    "\xB8\xC3\xC4\xBF\xC2\xBC\xB2\xBB\xB4\xE6\xD4\xDA\xA3\xAC\xCA\xC7\xB7\xF1\xB4\xB4\xBD\xA8\xA3\xBF";
const char* const kCreateFailed =
    "\xB4\xB4\xBD\xA8\xB2\xBB\xB3\xC9\xB9\xA6\xA3\xAC\xC7\xEB\xD6\xD8\xD0\xC2\xCA\xE4\xC8\xEB\xC2\xB7\xBE\xB6";
const char* const kNotice = "\xCC\xE1\xCA\xBE";

// Whole gibibytes, blank-padded on the left to three characters.
void gibText(u64 bytes, char* out, size_t size) {
  char digits[16];
  snprintf(digits, sizeof digits, "%d", (int)(u32)(bytes >> 30));
  snprintf(out, size, "%3s", digits);
}

}  // namespace

template <class W>
W* Setup::place(W* widget, int x, int y, int width, int height) {
  widget->setLocation(x, y, 0);
  widget->setSize(width, height, 0);
  add(widget);
  return widget;
}

Setup::Setup() {
  appendClassName("Setup");
  setWindowStyle(RK_STYLE_CLIP);
  setInheritedFlag(0);
  setText(getProperty("caption"));
  setSize(kWindowWidth, kWindowHeight, 0);
  RKSize screen = getScreenSize();
  setLocation((screen.width - kWindowWidth) / 2, (screen.height - kWindowHeight) / 2, 0);
  RKFont* font = RKFont::create(getProperty("font"), (u32)getFontSize("size"));
  if (font) setFont(font);

  prevButton = place(new RKButton(), 168, 325, 100, 30);
  prevButton->setText(getProperty("prev"));
  nextButton = place(new RKButton(), 278, 325, 100, 30);
  nextButton->setText(getProperty("next"));
  exitButton = place(new RKButton(), 388, 325, 100, 30);
  exitButton->setText(getProperty("exit"));
  // The language names are fixed, each in its own language (GBK for the Chinese one).
  languageBox = place(new RKComboBox(), 10, 330, 100, 22);
  languageBox->addItem("\xD6\xD0\xCE\xC4\xBC\xF2\xCC\xE5");
  languageBox->addItem("English");
  languageBox->setEditable(0);
  languageBox->setVisibleRows(2);
  languageBox->select(0);
  welcomePicture = place(new SetupImgView(), 0, 0, 498, 312);
  bannerPicture = place(new SetupImgView(), 0, 0, 498, 58);
  licenseView = place(new RKTextView(), 10, 65, 476, 200);
  if (font) licenseView->setFont(font);
  licenseView->append(loadLicenseText());
  agreeButton = place(new RKRadioButton(getProperty("agree")), 10, 265, 488, 25);
  disagreeButton = place(new RKRadioButton(getProperty("disagree")), 10, 290, 488, 25);
  pathLabel = place(new RKLabel(getProperty("setuppath")), 10, 70, 200, 20);
  pathField = place(new RKEdit(), 10, 90, 400, 25);
  browseButton = place(new RKButton(), 415, 89, 70, 27);
  browseButton->setText(getProperty("brows"));
  diskLabel = place(new RKLabel(getProperty("disk")), 20, 127, 52, 17);
  diskList = place(new RKListBox(), 17, 145, 461, 152);
  gauge = place(new RKGuage(), 10, 92, 475, 20);
  copiedFilesView = place(new RKTextView(), 17, 145, 461, 152);
  if (font) copiedFilesView->setFont(font);
  linkListLabel = place(new RKLabel(RKString(" ") + getProperty("strlinklist")), 20, 98, 65, 20);
  selectAllBox = place(new RKCheckBox(getProperty("strallselect")), 420, 80, 200, 20);
  jpegBox = place(new RKCheckBox("JPEG Images"), 30, 130, 100, 20);
  pngBox = place(new RKCheckBox("PNG Images"), 30, 160, 100, 20);
  bmpBox = place(new RKCheckBox("BMP Images"), 30, 190, 100, 20);
  gifBox = place(new RKCheckBox("GIF Images"), 30, 220, 100, 20);
  wmfBox = place(new RKCheckBox("WMF Images"), 30, 250, 100, 20);
  jp2Box = place(new RKCheckBox("JPEG2000 Images"), 30, 280, 150, 20);
  pcxBox = place(new RKCheckBox("PCX Images"), 200, 130, 100, 20);
  pgxBox = place(new RKCheckBox("PGX Images"), 200, 160, 100, 20);
  rasBox = place(new RKCheckBox("RAS Images"), 200, 190, 100, 20);
  // The free slot of the second column, so that no two boxes overlap.
  tgaBox = place(new RKCheckBox("TGA Images"), 200, 250, 100, 20);
  tiffBox = place(new RKCheckBox("TIFF Images"), 200, 220, 100, 20);
  jpcBox = place(new RKCheckBox("JPEG2000 Complete Images"), 200, 280, 200, 20);
  ppmBox = place(new RKCheckBox("PPM Images"), 370, 130, 100, 20);
  pgmBox = place(new RKCheckBox("PGM Images"), 370, 160, 100, 20);
  pbmBox = place(new RKCheckBox("PBM Images"), 370, 190, 100, 20);
  icoBox = place(new RKCheckBox("ICO Images"), 370, 220, 100, 20);

  loadPicture(welcomePicture, "logo");
  loadPicture(bannerPicture, "logo2");

  agreeGroup.add(agreeButton);
  agreeGroup.add(disagreeButton);
  disagreeButton->setSelected(1);

  RKFile* programFiles = RKFile::getProgramFilesFolder();
  if (programFiles) {
    pathField->setText(programFiles->getPath() + "\\" + getProperty("productfold"));
    programFiles->release();
  }
  fillDriveList();
  gauge->setMaximum((int)packageList.getCount());
  jp2Box->setChecked(1);
  jpcBox->setChecked(1);
  page = 1;
  progressCount = 0;
  explorerStopped = 0;
  failedEntries = 0;
  if (font) font->release();
  showPage();
}

Setup::~Setup() { agreeGroup.removeAll(); }

void Setup::loadPicture(SetupImgView* view, const char* key) {
  RKImgFileSrc source;
  if (!source.setFile(setupFolder + getProperty(key))) return;
  RKImage* image = source.getImage();
  if (!image) return;
  view->setImage(image);
  image->release();
}

RKString Setup::formatDriveLine(RKString pattern, const char* root, const char* total, const char* free) {
  const char* args[3] = {root, total, free};
  int next = 0;
  RKString line;
  const char* p = pattern.data ? pattern.data : "";
  const char* run = p;
  for (; *p; ++p) {
    if (p[0] != '%' || (p[1] != 's' && p[1] != '%')) continue;
    RKString piece;
    piece.assign(run, (u32)(p - run));
    line.append(piece.data ? piece.data : "");
    if (p[1] == '%')
      line.append("%");
    else if (next < 3)
      line.append(args[next++]);
    ++p;
    run = p + 1;
  }
  line.append(run);
  return line;
}

void Setup::fillDriveList() {
  TRKList<LOGICDRIVERS> drives;
  listDrives(&drives);
  if (!drives.moveFirst()) return;
  RKString pattern = getProperty("diskinfo");
  do {
    LOGICDRIVERS* d = drives.getCurrent();
    char total[16], free[16];
    gibText(d->totalBytes, total, sizeof total);
    gibText(d->freeBytes, free, sizeof free);
    diskList->addItem(formatDriveLine(pattern, d->root, total, free));
  } while (drives.moveNext());
}

int Setup::formatBoxes(RKCheckBox** boxes) {
  RKCheckBox* inOrder[16] = {jpegBox, pngBox,  jp2Box, bmpBox, gifBox, pcxBox, pgxBox, rasBox,
                             tgaBox,  tiffBox, jpcBox, ppmBox, pgmBox, pbmBox, icoBox, wmfBox};
  for (int i = 0; i < 16; ++i) boxes[i] = inOrder[i];
  return 16;
}

void Setup::hideAllPages() {
  RKComponent* widgets[] = {welcomePicture, bannerPicture,   licenseView,   agreeButton, disagreeButton,
                            pathLabel,      pathField,       browseButton,  diskLabel,   diskList,
                            gauge,          copiedFilesView, linkListLabel, selectAllBox};
  for (RKComponent* w : widgets) w->hide();
  RKCheckBox* boxes[16];
  for (int i = 0, n = formatBoxes(boxes); i < n; ++i) boxes[i]->hide();
}

void Setup::showPage() {
  hideAllPages();
  switch (page) {
    case 1:
      welcomePicture->show(0);
      prevButton->disable();
      nextButton->enable();
      nextButton->setText(getProperty("next"));
      break;
    case 2:
      bannerPicture->show(0);
      licenseView->show(0);
      agreeButton->show(0);
      disagreeButton->show(0);
      bannerPicture->setTexts(getProperty("strlicense"), getProperty("strlicensespec"));
      prevButton->enable();
      if (agreeButton->isSelected())
        nextButton->enable();
      else
        nextButton->disable();
      nextButton->setText(getProperty("next"));
      break;
    case 3:
      bannerPicture->show(0);
      pathLabel->show(0);
      pathField->show(0);
      browseButton->show(0);
      diskLabel->show(0);
      diskList->show(0);
      bannerPicture->setTexts(getProperty("strfold"), getProperty("strfoldspec"));
      prevButton->enable();
      nextButton->setText(getProperty("install"));
      break;
    case 4:
      bannerPicture->show(0);
      pathLabel->show(0);
      diskLabel->show(0);
      gauge->show(0);
      copiedFilesView->show(0);
      bannerPicture->setTexts(getProperty("strinstall"), getProperty("strinstallspec"));
      prevButton->disable();
      nextButton->disable();
      pathLabel->setText(getProperty("strguage"));
      diskLabel->setText(getProperty("strshowfile"));
      break;
    case 5: {
      repaint();
      linkListLabel->show(0);
      bannerPicture->show(0);
      selectAllBox->show(0);
      RKCheckBox* boxes[16];
      for (int i = 0, n = formatBoxes(boxes); i < n; ++i) boxes[i]->show(0);
      bannerPicture->setTexts(getProperty("strlinkfile"), getProperty("strlinkfilespec"));
      prevButton->disable();
      nextButton->enable();
      exitButton->disable();
      nextButton->setText(getProperty("next"));
      break;
    }
    case 6:
      repaint();
      loadPicture(welcomePicture, "logo3");
      welcomePicture->show(0);
      prevButton->enable();
      nextButton->enable();
      exitButton->disable();
      prevButton->setText(getProperty("prev"));
      nextButton->setText(getProperty("strfinishbtn"));
      break;
    default:
      break;
  }
}

u32 Setup::paint(RKRect area, IRKGraphics* graphics) {
  // The widget background (the design marks in design mode).
  RKDesignComponent::paint(area, graphics);
  graphics->setTransparentText(1);
  if (page >= 2 && page <= 5) graphics->draw3DFrame(2, 60, 492, 2, RK_FRAME_SUNKEN);
  if (page == 3 || page == 4) graphics->draw3DFrame(10, 135, 475, 170, RK_FRAME_ETCHED);
  if (page == 5) graphics->draw3DFrame(10, 105, 475, 200, RK_FRAME_ETCHED);
  if (page >= 1 && page <= 6) graphics->draw3DFrame(2, 315, 492, 2, RK_FRAME_SUNKEN);
  return 1;
}

int Setup::checkInstallFolder() {
  RKFile folder(pathField->getText());
  if (folder.isDirectory()) return 1;
  if (messageBox(this, kFolderMissing, kNotice, 1) != 1) return 0;
  if (folder.mkdir()) return 1;
  reportFolderFailure();
  return 0;
}

void Setup::reportFolderFailure() { messageBox(this, kCreateFailed, kNotice, 0); }

int Setup::actionPerformed(RKObject* source, u32 id, u64 parameter) {
  (void)parameter;
  if (source == static_cast<RKComponent*>(exitButton) && id == RK_ACTION_BUTTON_CLICKED) {
    if (messageBox(this, getProperty("strexit"), getProperty("strwarring"), 1) == 1) quit();
  } else if (source == static_cast<RKComponent*>(nextButton) && id == RK_ACTION_BUTTON_CLICKED) {
    ++page;
    if (page == 4) {
      if (!checkInstallFolder()) {
        --page;
        return 1;
      }
      gauge->setValue(progressCount);
      ++progressCount;
      failedEntries = 0;
      packageList.moveFirst();
      startTimer(10);
    } else if (page == 7) {
      registerFileLinks();
      openWebPage(closingPage);
      quit();
    }
    showPage();
  } else if (source == static_cast<RKComponent*>(prevButton) && id == RK_ACTION_BUTTON_CLICKED) {
    --page;
    showPage();
  } else if (source == static_cast<RKComponent*>(agreeButton) && id == RK_ACTION_RADIO_SELECTED) {
    nextButton->enable();
  } else if (source == static_cast<RKComponent*>(disagreeButton) && id == RK_ACTION_RADIO_SELECTED) {
    nextButton->disable();
  } else if (source == static_cast<RKComponent*>(browseButton) && id == RK_ACTION_BUTTON_CLICKED) {
    pathField->setText(browseFolder(pathField->getText()));
  } else if (source == static_cast<RKComponent*>(languageBox) && id == RK_ACTION_COMBO_SELECTION_CHANGED) {
    selectLanguage(languageBox->getSelectedIndex());
  } else if (source == static_cast<RKComponent*>(selectAllBox) && id == RK_ACTION_CHECKBOX_TOGGLED) {
    u32 state = selectAllBox->isChecked();
    RKCheckBox* boxes[16];
    for (int i = 0, n = formatBoxes(boxes); i < n; ++i) boxes[i]->setChecked(state);
  }
  return 1;
}

RKString Setup::browseFolder(RKString current) {
  RKCreateInfo info = {nullptr, nullptr};
  if (!getNativeInfo(&info)) return RKString();
  char name[MAX_PATH] = {0};
  RKString title = getProperty("strselfold");
  BROWSEINFOA browse = {};
  browse.hwndOwner = (HWND)info.parent;
  browse.pidlRoot = NULL;
  browse.pszDisplayName = name;
  browse.lpszTitle = title.data;
  browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
  browse.lpfn = NULL;
  RKString result = current;
  LPITEMIDLIST chosen = SHBrowseForFolderA(&browse);
  if (chosen) {
    char path[MAX_PATH] = {0};
    if (SHGetPathFromIDListA(chosen, path)) {
      result = path;
      if (!result.endsWith('\\')) result.append("\\");
      result = result + getProperty("productfold");
    }
    ILFree(chosen);
  }
  return result;
}

void Setup::selectLanguage(int index) {
  languageIndex = index;
  if (index == 0)
    currentProperties = &chineseProperties;
  else if (index == 1)
    currentProperties = &englishProperties;
  applyLanguage();
}

void Setup::applyLanguage() {
  setText(getProperty("caption"));
  prevButton->setText(getProperty("prev"));
  exitButton->setText(getProperty("exit"));
  nextButton->setText(getProperty("next"));
  licenseView->clear();
  licenseView->append(loadLicenseText());
  agreeButton->setText(getProperty("agree"));
  disagreeButton->setText(getProperty("disagree"));
  browseButton->setText(getProperty("brows"));
  diskLabel->setSize(languageBox->getSelectedIndex() == 1 ? 73 : 52, 17, 1);
  diskList->removeAll();
  fillDriveList();
  pathLabel->setText(getProperty("setuppath"));
  diskLabel->setText(getProperty("disk"));
  // The associations page's captions follow the language on every page, so that the page never
  // shows two languages at once.
  linkListLabel->setText(getProperty("strlinklist"));
  selectAllBox->setText(getProperty("strallselect"));
  switch (page) {
    case 1:
      loadPicture(welcomePicture, "logo");
      welcomePicture->redraw();
      break;
    case 2:
      bannerPicture->setTexts(getProperty("strlicense"), getProperty("strlicensespec"));
      nextButton->setText(getProperty("next"));
      break;
    case 3:
      bannerPicture->setTexts(getProperty("strfold"), getProperty("strfoldspec"));
      pathLabel->setText(getProperty("setuppath"));
      diskLabel->setText(getProperty("disk"));
      nextButton->setText(getProperty("install"));
      break;
    case 4:
      bannerPicture->setTexts(getProperty("strinstall"), getProperty("strinstallspec"));
      pathLabel->setText(getProperty("strguage"));
      diskLabel->setText(getProperty("strshowfile"));
      break;
    case 5:
      bannerPicture->setTexts(getProperty("strlinkfile"), getProperty("strlinkfilespec"));
      nextButton->setText(getProperty("next"));
      break;
    case 6:
      loadPicture(welcomePicture, "logo3");
      welcomePicture->redraw();
      prevButton->setText(getProperty("prev"));
      nextButton->setText(getProperty("strfinishbtn"));
      break;
    default:
      break;
  }
}

}  // namespace RKSDK
