// The shipped setup folder in a temporary machine, with the wizard's globals started up from
// it and the headless display on a virtual clock.
#ifndef RK_TESTS_WIZARD_WIZARDFIXTURE_H
#define RK_TESTS_WIZARD_WIZARDFIXTURE_H

#include <compat_window.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "Setup.h"
#include "SetupFixture.h"
#include "WizardDriver.h"

class WizardFixture : public SetupFixture {
 protected:
  void SetUp() override {
    SetupFixture::SetUp();
    compat_display_select(COMPAT_DISPLAY_HEADLESS);
    compat_reset_windows();
    compat_clock_set_virtual(TRUE);
    copyShippedSetupFolder();
    std::filesystem::create_directories(prefix.onC("Program Files"));
    setenv("ProgramFiles", "C:\\Program Files", 1);
    startUpShipped();
  }
  void TearDown() override {
    unsetenv("ProgramFiles");
    compat_pump();
    compat_reset_windows();
    SetupFixture::TearDown();
  }
  // Start-up from the setup folder as it stands now (again after a test changed it).
  void startUpShipped() {
    resetGlobals();
    ASSERT_EQ(1, RKSDK::startUp());
    cn.removeAll();
    en.removeAll();
    cn.load(RKSDK::setupFolder + "setup_cn.properties");
    en.load(RKSDK::setupFolder + "setup_en.properties");
  }
  void copyShippedSetupFolder() {
    const char* build = getenv("RK_BUILD_DIR");
    std::string from = std::string(build ? build : ".") + "/wizard";
    for (const char* f : {"setup_cn.properties", "setup_en.properties", "license_cn.txt", "license_en.txt", "setup.reg",
                          "logo.bmp", "logo2.bmp", "logo3.bmp", "logo_en.bmp", "logo3_en.bmp"})
      std::filesystem::copy_file(from + "/" + f, setupHost() + "/" + f);
    std::filesystem::copy(from + "/VantryViewer", setupHost() + "/VantryViewer",
                          std::filesystem::copy_options::recursive);
  }
  std::string cnText(const char* key) { return text(cn.getString(key, "")); }
  std::string enText(const char* key) { return text(en.getString(key, "")); }
  // Runs the window's loop as the entry does: one reference, create, release.
  void run(RKSDK::Setup* window) {
    window->addRef();
    window->create(RKSDK::RKCreateInfo{nullptr, nullptr});
    window->release();
  }
  RKSDK::RKProperties cn, en;
};

#endif
