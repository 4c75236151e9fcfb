// The associations written at finish on either kind of system, the record of the values they
// replace, and the closing page.
#include "RoadSupport.h"

using namespace RKSDK;

class SetupFileLinksTest : public RoadFixture {
 protected:
  void SetUp() override {
    RoadFixture::SetUp();
    std::filesystem::create_directories(prefix.onC("Inst/Vantry"));
  }
  // A wizard pointed at C:\Inst with exactly the given boxes ticked.
  RKSDK::Setup* wizard(std::initializer_list<RKCheckBox * RKSDK::Setup::*> ticked) {
    RKSDK::Setup* w = new RKSDK::Setup();
    w->addRef();
    w->pathField->setText("C:\\Inst");
    w->jp2Box->setChecked(0);
    w->jpcBox->setChecked(0);
    for (auto box : ticked) (w->*box)->setChecked(1);
    return w;
  }
  std::string record() { return TempPrefix::readFile(prefix.onC("Inst/Vantry/filelink.txt")); }
  // Every entry of the viewer's program identifier for one extension.
  void expectProgramEntries(const std::string& x) {
    SCOPED_TRACE(x);
    std::string b = x.substr(1), g = "Vantry" + x;
    EXPECT_EQ("", regValue(HKEY_CLASSES_ROOT, x + "\\OpenWithProgids", g.c_str()));
    EXPECT_EQ(b + " Image", regValue(HKEY_CLASSES_ROOT, g, ""));
    EXPECT_EQ("C:\\Inst\\Vantry\\images\\" + b + ".ico,0", regValue(HKEY_CLASSES_ROOT, g + "\\DefaultIcon", ""));
    EXPECT_EQ("@C:\\WINDOWS\\system32\\mspaint.exe,-59419", regValue(HKEY_CLASSES_ROOT, g + "\\FriendlyTypeName", ""));
    EXPECT_EQ("Open", regValue(HKEY_CLASSES_ROOT, g + "\\shell", ""));
    EXPECT_EQ("Open with Vantry", regValue(HKEY_CLASSES_ROOT, g + "\\shell\\Open", ""));
    EXPECT_EQ("\"C:\\Inst\\Vantry\\VantryView.exe\" \"%1\"",
              regValue(HKEY_CLASSES_ROOT, g + "\\shell\\Open\\Command", ""));
  }
};

TEST_F(SetupFileLinksTest, OnOtherVersionsTheExtensionDefaultsAreReplacedAndRecorded) {
  setVersion("10.0");
  regSetString(HKEY_CLASSES_ROOT, ".jpg", "", "jpegfile");
  regSetString(HKEY_CLASSES_ROOT, ".TIFF", "", "tifffile");
  regSetString(HKEY_CLASSES_ROOT, ".tif", "", "tiffold");
  regSetString(HKEY_CURRENT_USER, kFileExts, "", "");
  RKSDK::Setup* w = wizard({&Setup::jpegBox, &Setup::tiffBox, &Setup::jp2Box, &Setup::jpcBox});
  EXPECT_EQ(1, w->registerFileLinks());
  // Box by box, and .TIFF wholly before .TIF.
  EXPECT_EQ(".JPG=jpegfile\r\n.TIFF=tifffile\r\n.TIF=tiffold\r\n", record());
  for (const char* x : {".JPEG", ".JPG", ".JP2", ".TIFF", ".TIF", ".JPC"}) {
    SCOPED_TRACE(x);
    std::string b = std::string(x).substr(1);
    EXPECT_EQ(std::string("Vantry") + x, regValue(HKEY_CLASSES_ROOT, x, ""));
    EXPECT_EQ("image", regValue(HKEY_CLASSES_ROOT, x, "PerceivedType"));
    EXPECT_EQ("image/" + b, regValue(HKEY_CLASSES_ROOT, x, "Content Type"));
    EXPECT_EQ("Paint.Picture", regValue(HKEY_CLASSES_ROOT, std::string(x) + "\\UndoClass", ""));
    expectProgramEntries(x);
    EXPECT_FALSE(regKeyExists(HKEY_CURRENT_USER, std::string(kFileExts) + "\\" + x));
  }
  EXPECT_FALSE(regKeyExists(HKEY_CLASSES_ROOT, ".PNG"));
  EXPECT_FALSE(regKeyExists(HKEY_CLASSES_ROOT, "Vantry.PNG"));
  // A second install records what the first one wrote.
  w->registerFileLinks();
  EXPECT_EQ(
      ".JPG=jpegfile\r\n.TIFF=tifffile\r\n.TIF=tiffold\r\n"
      ".JPEG=Vantry.JPEG\r\n.JPG=Vantry.JPG\r\n.JP2=Vantry.JP2\r\n.TIFF=Vantry.TIFF\r\n.TIF=Vantry.TIF\r\n"
      ".JPC=Vantry.JPC\r\n",
      record());
  w->release();
}

TEST_F(SetupFileLinksTest, OnlyReadableStringValuesThatFitAreRecorded) {
  setVersion("10.0");
  DWORD number = 7;
  regSet(HKEY_CLASSES_ROOT, ".BMP", "", REG_DWORD, &number, sizeof number);
  regSetString(HKEY_CLASSES_ROOT, ".GIF", "", std::string(300, 'g'));
  std::string full(256, 'p');  // a string value without its end within the 256 bytes
  regSet(HKEY_CLASSES_ROOT, ".PNG", "", REG_SZ, full.data(), (DWORD)full.size());
  std::string expand = "%SystemRoot%\\pcx";
  regSet(HKEY_CLASSES_ROOT, ".PCX", "", REG_EXPAND_SZ, expand.c_str(), (DWORD)expand.size() + 1);
  regSetString(HKEY_CLASSES_ROOT, ".PGX", "", std::string(255, 'x'));  // just fits
  RKSDK::Setup* w = wizard({&Setup::bmpBox, &Setup::gifBox, &Setup::pngBox, &Setup::pcxBox, &Setup::pgxBox});
  w->registerFileLinks();
  EXPECT_EQ(".PCX=" + expand + "\r\n.PGX=" + std::string(255, 'x') + "\r\n", record());
  for (const char* x : {".BMP", ".GIF", ".PNG"})
    EXPECT_EQ(std::string("Vantry") + x, regValue(HKEY_CLASSES_ROOT, x, ""));
  w->release();
}

TEST_F(SetupFileLinksTest, OnWindows7TheUsersChoiceIsSetAndItsOldValueRecorded) {
  regSetString(HKEY_CLASSES_ROOT, ".jpg", "", "jpegfile");
  regSetString(HKEY_CURRENT_USER, userChoice(".JPG"), "Progid", "OldProg");
  RKSDK::Setup* w = wizard({&Setup::jpegBox, &Setup::icoBox});
  w->registerFileLinks();
  EXPECT_EQ(".JPG=OldProg\r\n", record());
  for (const char* x : {".JPEG", ".JPG", ".ICO", ".ICON"}) {
    SCOPED_TRACE(x);
    EXPECT_EQ(std::string("Vantry") + x, regValue(HKEY_CURRENT_USER, userChoice(x), "Progid"));
    EXPECT_EQ("<missing>", regValue(HKEY_CLASSES_ROOT, x, "PerceivedType"));
    EXPECT_FALSE(regKeyExists(HKEY_CLASSES_ROOT, std::string(x) + "\\UndoClass"));
    expectProgramEntries(x);
  }
  // The extension's own default stays.
  EXPECT_EQ("jpegfile", regValue(HKEY_CLASSES_ROOT, ".JPG", ""));
  EXPECT_EQ("<missing>", regValue(HKEY_CLASSES_ROOT, ".JPEG", ""));
  w->release();
}

TEST_F(SetupFileLinksTest, OnWindows7WithoutTheUsersExtensionListNothingIsChosenOrRecorded) {
  ASSERT_FALSE(regKeyExists(HKEY_CURRENT_USER, kFileExts));
  RKSDK::Setup* w = wizard({&Setup::pngBox});
  w->registerFileLinks();
  EXPECT_FALSE(regKeyExists(HKEY_CURRENT_USER, kFileExts));
  EXPECT_FALSE(TempPrefix::exists(prefix.onC("Inst/Vantry/filelink.txt")));
  expectProgramEntries(".PNG");
  w->release();
}

TEST_F(SetupFileLinksTest, FinishWithNoBoxTickedWritesNoAssociationButOpensTheClosingPage) {
  RecordingSetup* w = new RecordingSetup();
  w->addRef();
  Driver d(w);
  stepsToCopy(d, w);
  stepCopyAll(d);
  d.step([&] {
    EXPECT_EQ(5, w->page);
    clickOn(w->jp2Box);
  });
  d.step([&] { clickOn(w->jpcBox); });
  d.step([&] {
    EXPECT_FALSE(w->jp2Box->isChecked());
    EXPECT_FALSE(w->jpcBox->isChecked());
    clickOn(w->nextButton);
  });
  d.step([&] {
    EXPECT_EQ(6, w->page);
    EXPECT_EQ(cnText("strfinishbtn"), text(w->nextButton->getText()));
    clickOn(w->nextButton);
  });
  run(w);
  // The loop ended by the finish, not by the driver.
  EXPECT_EQ(9u, d.done);
  EXPECT_EQ(7, w->page);
  EXPECT_FALSE(w->welcomePicture->isVisible());
  w->release();
  ASSERT_TRUE(waitForPrograms());
  for (const char* x : {".JP2", ".JPC", "Vantry.JP2", "Vantry.JPC"})
    EXPECT_FALSE(regKeyExists(HKEY_CLASSES_ROOT, x)) << x;
  EXPECT_FALSE(TempPrefix::exists(prefix.onC("Program Files/VantryViewer/Vantry/filelink.txt")));
  std::vector<std::string> runs = programRuns();
  EXPECT_EQ(1, std::count(runs.begin(), runs.end(), std::string("iexplore.exe ") + Setup::closingPage));
  EXPECT_NE(std::string::npos, std::string(Setup::closingPage).find("/setup.jsp?pd=1"));
}

TEST_F(SetupFileLinksTest, FinishAfterSelectAllRegistersEveryExtension) {
  setVersion("10.0");
  RecordingSetup* w = new RecordingSetup();
  w->addRef();
  Driver d(w);
  stepsToCopy(d, w);
  stepCopyAll(d);
  // The box runs past the window's right edge: clicked on its visible left part.
  d.step([&] { compat_click(hwndOf(w->selectAllBox), 10, 10); });
  d.step([&] {
    EXPECT_TRUE(w->wmfBox->isChecked());
    clickOn(w->nextButton);
  });
  d.step([&] { clickOn(w->nextButton); });
  run(w);
  EXPECT_EQ(8u, d.done);
  w->release();
  const char* all[] = {".JPEG", ".JPG", ".PNG", ".JP2", ".BMP", ".GIF", ".PCX", ".PGX",  ".RAS", ".TGA",
                       ".TIFF", ".TIF", ".JPC", ".PPM", ".PGM", ".PBM", ".ICO", ".ICON", ".WMF"};
  for (const char* x : all) {
    EXPECT_EQ(std::string("Vantry") + x, regValue(HKEY_CLASSES_ROOT, x, "")) << x;
    EXPECT_EQ(std::string("\"") + kInstall + "\\Vantry\\VantryView.exe\" \"%1\"",
              regValue(HKEY_CLASSES_ROOT, std::string("Vantry") + x + "\\shell\\Open\\Command", ""))
        << x;
  }
  ASSERT_TRUE(waitForPrograms());
  std::vector<std::string> runs = programRuns();
  EXPECT_EQ(1, std::count(runs.begin(), runs.end(), std::string("iexplore.exe ") + Setup::closingPage));
}
