// The wizard window on the headless display, driven only by injected clicks: pages, enabled
// buttons, texts in both languages, the licence gate, the folder check, the browser and the exit
// confirmation.
#include <compat_shell.h>
#include <compat_window.h>
#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "Setup.h"
#include "WizardFixture.h"

using namespace RKSDK;

class WizardWindowTest : public WizardFixture {};

TEST_F(WizardWindowTest, ConstructorBuildsTheWelcomePage) {
  RKSDK::Setup* w = new RKSDK::Setup();
  // The state the constructor leaves, seen once the window runs.
  Driver d(w);
  d.step([&] {
    EXPECT_EQ(1, w->page);
    EXPECT_EQ(cnText("caption"), text(w->getText()));
    EXPECT_EQ(261, w->getLocation().x);
    EXPECT_EQ(185, w->getLocation().y);
    EXPECT_EQ(502, w->getSize().width);
    EXPECT_EQ(398, w->getSize().height);
    EXPECT_EQ("C:\\Program Files\\VantryViewer", text(w->pathField->getText()));
    EXPECT_TRUE(w->disagreeButton->isSelected());
    EXPECT_FALSE(w->agreeButton->isSelected());
    EXPECT_TRUE(w->jp2Box->isChecked());
    EXPECT_TRUE(w->jpcBox->isChecked());
    EXPECT_FALSE(w->jpegBox->isChecked());
    EXPECT_EQ(" " + cnText("strlinklist"), text(w->linkListLabel->getText()));
    for (RKSDK::SetupImgView* view : {w->welcomePicture, w->bannerPicture}) {
      RKImage* image = view->getImage();  // one reference for the caller
      EXPECT_NE(nullptr, image);
      if (image) image->release();
    }
    ASSERT_GE(w->diskList->getItemCount(), 1);
    EXPECT_EQ(0u, text(w->diskList->getItemText(0)).find("C:\\"));
    // The licence arrives as GBK bytes.
    EXPECT_NE(std::string::npos, text(w->licenseView->getAllText()).find(cnText("strlicense").substr(0, 4)));
    w->quit();
  });
  run(w);
  EXPECT_EQ(1u, d.done);
}

// Settings without the window's texts: Setup starts, its buttons are blank and still work.
TEST_F(WizardWindowTest, MissingInterfaceTextsLeaveBlankButtonsThatWork) {
  for (const char* name : {"setup_cn.properties", "setup_en.properties"}) {
    std::string settings = TempPrefix::readFile(setupHost() + "/" + name), kept;
    std::istringstream lines(settings);
    for (std::string line; std::getline(lines, line);) {
      bool text = false;
      for (const char* key : {"caption=", "prev=", "next=", "exit=", "install=", "strfinishbtn="})
        if (line.rfind(key, 0) == 0) text = true;
      // The Chinese file drops them, the English one keeps them empty.
      if (!text)
        kept += line + "\n";
      else if (std::string(name) == "setup_en.properties")
        kept += line.substr(0, line.find('=') + 1) + "\n";
    }
    write(name, kept);
  }
  startUpShipped();
  RKSDK::Setup* w = new RKSDK::Setup();
  Driver d(w);
  d.step([&] {
    EXPECT_EQ("", text(w->getText()));
    EXPECT_EQ("", text(w->prevButton->getText()));
    EXPECT_EQ("", text(w->nextButton->getText()));
    EXPECT_EQ("", text(w->exitButton->getText()));
    clickOn(w->nextButton);
  });
  d.step([&] {
    EXPECT_EQ(2, w->page);
    clickOn(w->agreeButton);
  });
  d.step([&] { clickOn(w->nextButton); });
  d.step([&] {
    EXPECT_EQ(3, w->page);
    EXPECT_EQ("", text(w->nextButton->getText()));
    w->quit();
  });
  run(w);
  EXPECT_EQ(4u, d.done);
}

TEST_F(WizardWindowTest, DrivingThroughTheFirstPagesToTheCopy) {
  RKSDK::Setup* w = new RKSDK::Setup();
  Driver d(w);
  d.step([&] {
    EXPECT_TRUE(w->welcomePicture->isVisible());
    EXPECT_FALSE(w->bannerPicture->isVisible());
    EXPECT_FALSE(enabled(w->prevButton));
    EXPECT_TRUE(enabled(w->nextButton));
    clickOn(w->nextButton);
  });
  d.step([&] {
    EXPECT_EQ(2, w->page);
    EXPECT_TRUE(w->licenseView->isVisible());
    EXPECT_EQ(cnText("strlicense"), text(w->bannerPicture->title));
    EXPECT_EQ(cnText("strlicensespec"), text(w->bannerPicture->description));
    EXPECT_FALSE(enabled(w->nextButton));
    clickOn(w->agreeButton);
  });
  d.step([&] {
    EXPECT_TRUE(enabled(w->nextButton));
    clickOn(w->disagreeButton);
  });
  d.step([&] {
    EXPECT_FALSE(enabled(w->nextButton));
    clickOn(w->agreeButton);
  });
  d.step([&] { clickOn(w->nextButton); });
  d.step([&] {
    EXPECT_EQ(3, w->page);
    EXPECT_EQ(cnText("install"), text(w->nextButton->getText()));
    EXPECT_TRUE(w->pathField->isVisible());
    EXPECT_TRUE(w->diskList->isVisible());
    EXPECT_FALSE(w->licenseView->isVisible());
    clickOn(w->prevButton);
  });
  d.step([&] {
    EXPECT_EQ(2, w->page);
    EXPECT_TRUE(enabled(w->nextButton));
    clickOn(w->nextButton);
  });
  d.step([&] {
    // Declining to create the missing folder keeps page 3.
    compat_message_box_answer(IDCANCEL, 0);
    clickOn(w->nextButton);
  });
  d.step([&] {
    EXPECT_EQ(3, w->page);
    EXPECT_STREQ("\xB8\xC3\xC4\xBF\xC2\xBC\xB2\xBB\xB4\xE6\xD4\xDA\xA3\xAC\xCA\xC7\xB7\xF1\xB4\xB4\xBD\xA8\xA3\xBF",
                 compat_message_box_last_text());
    EXPECT_STREQ("\xCC\xE1\xCA\xBE", compat_message_box_last_caption());
    EXPECT_FALSE(TempPrefix::exists(prefix.onC("Program Files/VantryViewer")));
    EXPECT_TRUE(w->pathField->isVisible());
    // A folder whose parent is missing cannot be made: second message, page 3 again.
    w->pathField->setText("C:\\missing\\VantryViewer");
    compat_message_box_answer(IDOK, 0);
    compat_message_box_answer(IDOK, 0);
    clickOn(w->nextButton);
  });
  d.step([&] {
    EXPECT_EQ(3, w->page);
    EXPECT_STREQ(
        "\xB4\xB4\xBD\xA8\xB2\xBB\xB3\xC9\xB9\xA6\xA3\xAC\xC7\xEB\xD6\xD8\xD0\xC2\xCA\xE4\xC8\xEB\xC2\xB7\xBE\xB6",
        compat_message_box_last_text());
    EXPECT_FALSE(TempPrefix::exists(prefix.onC("missing")));
    w->pathField->setText("C:\\Program Files\\VantryViewer");
    compat_message_box_answer(IDOK, 0);
    clickOn(w->nextButton);
  });
  d.step([&] {
    EXPECT_EQ(4, w->page);
    EXPECT_TRUE(std::filesystem::is_directory(prefix.onC("Program Files/VantryViewer")));
    EXPECT_EQ(1, w->progressCount);
    EXPECT_FALSE(enabled(w->prevButton));
    EXPECT_FALSE(enabled(w->nextButton));
    EXPECT_TRUE(w->gauge->isVisible());
    EXPECT_TRUE(w->copiedFilesView->isVisible());
    EXPECT_FALSE(w->pathField->isVisible());
    EXPECT_EQ(cnText("strguage"), text(w->pathLabel->getText()));
    EXPECT_EQ(cnText("strshowfile"), text(w->diskLabel->getText()));
    EXPECT_EQ(cnText("strinstall"), text(w->bannerPicture->title));
    // Exit asks first; Cancel keeps the window.
    compat_message_box_answer(IDCANCEL, 0);
    clickOn(w->exitButton);
  });
  d.step([&] {
    EXPECT_EQ(cnText("strexit"), compat_message_box_last_text());
    EXPECT_EQ(cnText("strwarring"), compat_message_box_last_caption());
    compat_message_box_answer(IDOK, 0);
    clickOn(w->exitButton);
  });
  const size_t steps = 12;
  run(w);
  EXPECT_EQ(steps, d.done);
}

TEST_F(WizardWindowTest, ExitOnTheWelcomePageWritesNothing) {
  RKSDK::Setup* w = new RKSDK::Setup();
  Driver d(w);
  d.step([&] {
    compat_message_box_answer(IDOK, 0);
    clickOn(w->exitButton);
  });
  int boxes = compat_message_box_count();
  run(w);
  EXPECT_EQ(1u, d.done);
  EXPECT_EQ(boxes + 1, compat_message_box_count());
  EXPECT_FALSE(TempPrefix::exists(prefix.onC("Program Files/VantryViewer")));
}

// Next on the licence page and Install 250 ms later, on the same button at the same point: the
// second click arrives as a double click and still reaches the folder question.
TEST_F(WizardWindowTest, InstallClickedQuicklyAfterNextAsksForTheFolder) {
  RKSDK::Setup* w = new RKSDK::Setup();
  Driver d(w);
  int boxes = 0;
  d.step([&] { clickOn(w->nextButton); });
  d.step([&] { clickOn(w->agreeButton); });
  d.step([&] { clickOn(w->nextButton); });
  d.step([&] {
    EXPECT_EQ(3, w->page);
    boxes = compat_message_box_count();
    compat_advance(250);
    compat_message_box_answer(IDCANCEL, 0);
    clickOn(w->nextButton);
  });
  d.step([&] {
    EXPECT_EQ(boxes + 1, compat_message_box_count());
    EXPECT_STREQ("\xB8\xC3\xC4\xBF\xC2\xBC\xB2\xBB\xB4\xE6\xD4\xDA\xA3\xAC\xCA\xC7\xB7\xF1\xB4\xB4\xBD\xA8\xA3\xBF",
                 compat_message_box_last_text());
    EXPECT_EQ(3, w->page);
    w->quit();
  });
  run(w);
  EXPECT_EQ(5u, d.done);
}

TEST_F(WizardWindowTest, BrowserAnswerBecomesTheInstallFolder) {
  RKSDK::Setup* w = new RKSDK::Setup();
  Driver d(w);
  d.step([&] { clickOn(w->nextButton); });
  d.step([&] { clickOn(w->agreeButton); });
  d.step([&] { clickOn(w->nextButton); });
  d.step([&] {
    compat_folder_browser_answer("C:\\");
    clickOn(w->browseButton);
  });
  d.step([&] {
    EXPECT_EQ("C:\\VantryViewer", text(w->pathField->getText()));
    EXPECT_EQ(cnText("strselfold"), compat_folder_browser_last_title());
    EXPECT_EQ(3u, compat_folder_browser_last_flags());
    compat_folder_browser_answer("C:\\Data");
    clickOn(w->browseButton);
  });
  d.step([&] {
    EXPECT_EQ("C:\\Data\\VantryViewer", text(w->pathField->getText()));
    compat_folder_browser_answer(nullptr);
    clickOn(w->browseButton);
  });
  d.step([&] {
    EXPECT_EQ("C:\\Data\\VantryViewer", text(w->pathField->getText()));
    w->quit();
  });
  run(w);
  EXPECT_EQ(7u, d.done);
}

// In code page 936 the second byte of 誠 (D5 5C) is the byte of a backslash: a folder named
// with it at its end still needs the separator before the product folder.
TEST_F(WizardWindowTest, BrowsedFolderEndingInADoubleByteCharacterGetsItsSeparator) {
  RKSDK::Setup* w = new RKSDK::Setup();
  Driver d(w);
  d.step([&] { clickOn(w->nextButton); });
  d.step([&] { clickOn(w->agreeButton); });
  d.step([&] { clickOn(w->nextButton); });
  d.step([&] {
    compat_folder_browser_answer("C:\\\xC8\xED\xBC\xFE\\\xEA\x90\xD5\x5C");  // C:\软件\陳誠
    clickOn(w->browseButton);
  });
  d.step([&] {
    EXPECT_EQ("C:\\\xC8\xED\xBC\xFE\\\xEA\x90\xD5\x5C\\VantryViewer", text(w->pathField->getText()));
    compat_folder_browser_answer("C:\\\xC8\xED\xBC\xFE\\\xEA\x90\xB3\xCF");  // C:\软件\陳诚
    clickOn(w->browseButton);
  });
  d.step([&] {
    EXPECT_EQ("C:\\\xC8\xED\xBC\xFE\\\xEA\x90\xB3\xCF\\VantryViewer", text(w->pathField->getText()));
    compat_folder_browser_answer("C:\\\xDF\x5C");  // C:\運
    clickOn(w->browseButton);
  });
  d.step([&] {
    EXPECT_EQ("C:\\\xDF\x5C\\VantryViewer", text(w->pathField->getText()));
    w->quit();
  });
  run(w);
  EXPECT_EQ(7u, d.done);
}

TEST_F(WizardWindowTest, LanguageSwitchRetextsTheFolderPage) {
  RKSDK::Setup* w = new RKSDK::Setup();
  Driver d(w);
  d.step([&] { clickOn(w->nextButton); });
  d.step([&] { clickOn(w->agreeButton); });
  d.step([&] { clickOn(w->nextButton); });
  d.step([&] {
    RKString chineseLine = w->diskList->getItemText(0);
    int drives = w->diskList->getItemCount();
    languageIndex = 1;
    currentProperties = &englishProperties;
    w->languageBox->select(1);
    w->applyLanguage();
    EXPECT_EQ(enText("caption"), text(w->getText()));
    EXPECT_EQ(enText("install"), text(w->nextButton->getText()));
    EXPECT_EQ(enText("exit"), text(w->exitButton->getText()));
    EXPECT_EQ(enText("strfold"), text(w->bannerPicture->title));
    EXPECT_EQ(enText("setuppath"), text(w->pathLabel->getText()));
    EXPECT_EQ(enText("disk"), text(w->diskLabel->getText()));
    EXPECT_EQ(73, w->diskLabel->getSize().width);
    EXPECT_EQ(17, w->diskLabel->getSize().height);
    EXPECT_NE(text(chineseLine), text(w->diskList->getItemText(0)));
    EXPECT_EQ(drives, w->diskList->getItemCount());
    EXPECT_EQ(0u, text(w->licenseView->getAllText()).find("Vantry Viewer End-User"));
    // Still on page 3 with the field's text untouched.
    EXPECT_EQ(3, w->page);
    EXPECT_EQ("C:\\Program Files\\VantryViewer", text(w->pathField->getText()));
    // The associations page's own captions follow the language off that page too.
    EXPECT_EQ(enText("strlinklist"), text(w->linkListLabel->getText()));
    EXPECT_EQ(enText("strallselect"), text(w->selectAllBox->getText()));
    w->quit();
  });
  run(w);
  EXPECT_EQ(4u, d.done);
}

TEST_F(WizardWindowTest, ChoosingEnglishInTheLanguageBoxRelabelsTheWindow) {
  RKSDK::Setup* w = new RKSDK::Setup();
  Driver d(w);
  d.step([&] {
    EXPECT_EQ(0, w->languageBox->getSelectedIndex());
    RKComboBoxListBox* items = w->languageBox->getList();
    EXPECT_EQ(2, items->getItemCount());
    EXPECT_EQ("English", text(items->getItemText(1)));
    items->release();
    clickOn(w->nextButton);
  });
  d.step([&] { clickOn(w->agreeButton); });
  d.step([&] { clickOn(w->nextButton); });
  d.step([&] {
    // The box's choice, reported as the box reports it, drives the switch.
    w->languageBox->select(1);
    w->actionPerformed(static_cast<RKComponent*>(w->languageBox), RK_ACTION_COMBO_SELECTION_CHANGED, 0);
    EXPECT_EQ(1, languageIndex);
    EXPECT_EQ(&englishProperties, currentProperties);
    EXPECT_EQ(enText("install"), text(w->nextButton->getText()));
    EXPECT_EQ(enText("disk"), text(w->diskLabel->getText()));
    EXPECT_EQ(73, w->diskLabel->getSize().width);
    // And back to Chinese.
    w->languageBox->select(0);
    w->actionPerformed(static_cast<RKComponent*>(w->languageBox), RK_ACTION_COMBO_SELECTION_CHANGED, 0);
    EXPECT_EQ(0, languageIndex);
    EXPECT_EQ(cnText("install"), text(w->nextButton->getText()));
    EXPECT_EQ(52, w->diskLabel->getSize().width);
  });
  // The same choice made by the user: the arrow opens the list, a release on its second row
  // chooses English.
  RKComboBoxListBox* list = nullptr;
  d.step([&] {
    RKArrowButton* arrow = w->languageBox->getArrowButton();
    compat_click(hwndOf(arrow), 5, 5);
    arrow->release();
  });
  d.step([&] {
    list = w->languageBox->getList();
    list->release();
    ASSERT_TRUE(list->isVisible());
    int pitch = int(list->getFontHeight()) + 1;
    int y = 1 + pitch + pitch / 2;
    compat_advance(600);
    compat_mouse_move(hwndOf(list), 20, y);
    compat_mouse_button(hwndOf(list), 20, y, 1, TRUE);
    compat_mouse_button(hwndOf(list), 20, y, 1, FALSE);
    compat_advance(600);
  });
  d.step([&] {
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(1, w->languageBox->getSelectedIndex());
    EXPECT_EQ(1, languageIndex);
    EXPECT_EQ(enText("install"), text(w->nextButton->getText()));
    EXPECT_EQ(73, w->diskLabel->getSize().width);
    w->quit();
  });
  run(w);
  EXPECT_EQ(7u, d.done);
}

namespace {

// The window's pixels as the display shows them.
std::vector<uint32_t> screenOf(HWND h) {
  RECT r;
  GetClientRect(h, &r);
  std::vector<uint32_t> px(size_t(r.right) * size_t(r.bottom));
  px.resize(compat_read_pixels(h, px.data(), px.size()));
  return px;
}

void invalidateTree(HWND h) {
  if (!IsWindowVisible(h)) return;
  InvalidateRect(h, nullptr, TRUE);
  for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) invalidateTree(c);
}

// Pixels that differ between what is on the display and a paint of every shown window anew.
int staleAgainstFreshPaint(HWND h) {
  std::vector<uint32_t> shown = screenOf(h);
  invalidateTree(h);
  compat_pump();
  std::vector<uint32_t> fresh = screenOf(h);
  if (shown.size() != fresh.size() || shown.empty()) return -1;
  int n = 0;
  for (size_t i = 0; i < shown.size(); ++i) n += shown[i] != fresh[i];
  return n;
}

}  // namespace

// What the window shows after each page move and language switch is what a full repaint of all
// its shown widgets gives: hidden widgets leave nothing behind and the window's own repaint on
// pages 5 and 6 does not wipe the buttons.
TEST_F(WizardWindowTest, DisplayAfterEveryPageMoveMatchesAFreshPaint) {
  RKSDK::Setup* w = new RKSDK::Setup();
  Driver d(w);
  HWND top = nullptr;
  auto check = [&](const char* where) {
    compat_pump();
    EXPECT_EQ(0, staleAgainstFreshPaint(top)) << where;
  };
  d.step([&] {
    top = hwndOf(w);
    check("page 1");
    clickOn(w->nextButton);
  });
  d.step([&] {
    check("page 2");
    clickOn(w->agreeButton);
  });
  d.step([&] { clickOn(w->nextButton); });
  d.step([&] {
    check("page 3");
    // Switching the language re-texts hidden widgets too (the licence page's radio buttons).
    w->languageBox->select(1);
    w->actionPerformed(static_cast<RKComponent*>(w->languageBox), RK_ACTION_COMBO_SELECTION_CHANGED, 0);
    check("page 3 in English");
    int frame = 0;
    for (int x = 0; x < 100; ++x)
      for (int y = 0; y < 30; ++y)
        frame += compat_get_pixel(hwndOf(w->nextButton), x, y) != compat_get_pixel(top, 5, 370);
    EXPECT_GT(frame, 100) << "the install button shows";
    for (int page : {5, 6}) {
      w->page = page;
      w->showPage();
      compat_pump();
      int drawn = 0;
      for (int x = 0; x < 100; ++x)
        for (int y = 0; y < 30; ++y)
          drawn += compat_get_pixel(hwndOf(w->nextButton), x, y) != compat_get_pixel(top, 5, 370);
      EXPECT_GT(drawn, 100) << "the next button shows on page " << page;
      check(page == 5 ? "page 5" : "page 6");
    }
    w->quit();
  });
  run(w);
  EXPECT_EQ(4u, d.done);
}

TEST(DriveLineTest, OnlyStringsAndPercentSignsAreSubstituted) {
  EXPECT_EQ("C:\\ total 100 free   8",
            text(RKSDK::Setup::formatDriveLine("%s total %s free %s", "C:\\", "100", "  8")));
  EXPECT_EQ("C:\\ 50% 1 2", text(RKSDK::Setup::formatDriveLine("%s 50%% %s %s", "C:\\", "1", "2")));
  // Stray conversions stay as they stand and read nothing.
  EXPECT_EQ("%d %n C:\\ %x", text(RKSDK::Setup::formatDriveLine("%d %n %s %x", "C:\\", "1", "2")));
  // A fourth %s has no argument to take.
  EXPECT_EQ("a b c  end%", text(RKSDK::Setup::formatDriveLine("%s %s %s %s end%", "a", "b", "c")));
}

// Runs the entry on the headless display; the number of window messages it handled.
static int messagesDuringEntry() {
  compat_display_select(COMPAT_DISPLAY_HEADLESS);
  compat_reset_windows();
  int messages = 0;
  compat_set_message_spy([](void* c, HWND, UINT, WPARAM, LPARAM) { ++*static_cast<int*>(c); }, &messages);
  EXPECT_EQ(0, runSetup(nullptr));
  compat_set_message_spy(nullptr, nullptr);
  return messages;
}

TEST_F(SetupFixture, EntryWithoutEnglishSettingsShowsNoWindowAndReturnsZero) {
  write("setup_cn.properties", "productfold=prod\n");
  EXPECT_EQ(0, messagesDuringEntry());
}

TEST_F(SetupFixture, EntryWithEmptySettingsShowsNoWindowAndReturnsZero) {
  write("setup_cn.properties", "");
  write("setup_en.properties", "");
  write("prod/a.txt", "a");
  EXPECT_EQ(0, messagesDuringEntry());
  EXPECT_EQ(0u, packageList.getCount());
}

// Every page in both languages drawn to PNG (kept in RK_WIZARD_SHOTS when that names a folder).
TEST_F(WizardWindowTest, EveryPageDrawsInBothLanguages) {
  RKSDK::Setup* w = new RKSDK::Setup();
  Driver d(w);
  const char* keep = getenv("RK_WIZARD_SHOTS");
  int saved = 0;
  auto shoot = [&](const std::string& name) {
    compat_pump();
    std::string host = prefix.root() + "/" + name + ".png";
    if (compat_save_png(hwndOf(w), host.c_str())) ++saved;
    if (keep)
      std::filesystem::copy_file(host, std::string(keep) + "/" + name + ".png",
                                 std::filesystem::copy_options::overwrite_existing);
  };
  for (int language = 0; language < 2; ++language) {
    std::string tag = language ? "en" : "cn";
    d.step([&, language] {
      languageIndex = language;
      currentProperties = language ? &englishProperties : &chineseProperties;
      w->languageBox->select(language);
      w->page = 1;
      w->showPage();
      w->applyLanguage();
    });
    d.step([&, tag] {
      shoot("page1_" + tag);
      clickOn(w->nextButton);
    });
    d.step([&, tag] { clickOn(w->agreeButton); });
    d.step([&, tag] {
      shoot("page2_" + tag);
      clickOn(w->nextButton);
    });
    for (int page = 3; page <= 6; ++page)
      d.step([&, tag, page] {
        w->page = page;
        w->showPage();
        w->applyLanguage();
        compat_pump();
        shoot("page" + std::to_string(page) + "_" + tag);
      });
  }
  d.step([&] { w->quit(); });
  run(w);
  EXPECT_EQ(12, saved);
}
