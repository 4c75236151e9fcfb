// A setup folder in a temporary machine: Setup's settings, licences and product folder written
// as a test needs them, with the program's own path pointed into it.
#ifndef RK_TESTS_WIZARD_SETUPFIXTURE_H
#define RK_TESTS_WIZARD_SETUPFIXTURE_H

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "SetupStartUp.h"
#include "TempPrefix.h"
#include "compat_module.h"

class SetupFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(setupHost());
    compat_set_module_path("C:\\setup\\setup.exe");
    resetGlobals();
  }
  void TearDown() override {
    compat_set_module_path(nullptr);
    resetGlobals();
  }
  static void resetGlobals() {
    RKSDK::packageList.removeAll();
    RKSDK::packageRoot = "";
    RKSDK::chineseProperties.removeAll();
    RKSDK::englishProperties.removeAll();
    RKSDK::currentProperties = &RKSDK::chineseProperties;
    RKSDK::languageIndex = 0;
    RKSDK::setupFolder = "";
  }

  std::string setupHost() const { return prefix.onC("setup"); }
  void write(const std::string& relative, const std::string& bytes) {
    std::filesystem::path p = setupHost() + "/" + relative;
    std::filesystem::create_directories(p.parent_path());
    TempPrefix::writeFile(p.string(), bytes);
  }
  void makeFolder(const std::string& relative) { std::filesystem::create_directories(setupHost() + "/" + relative); }
  // The keys start-up insists on besides productfold, and the buttons' texts.
  static std::string installKeys() {
    return "sub_dir=Vantry\nstart_app=VantryView.exe\nuninstall_app=Uninstall.exe\nregist_root=%INSTALLDIR%\n"
           "prev=<\nnext=>\nexit=x\ninstall=i\nstrfinishbtn=f\n";
  }
  // Both settings files, with the product folder "prod" and the given extra lines.
  void writeSettings(const std::string& cnExtra = "", const std::string& enExtra = "") {
    write("setup_cn.properties", "productfold=prod\ncaption=\xB0\xB2\xD7\xB0\n" + installKeys() + cnExtra);
    write("setup_en.properties", "productfold=prod\ncaption=Setup\n" + installKeys() + enExtra);
  }

  TempPrefix prefix;
};

#endif
