// The shipped Windows programs as the system sees them: the application manifest that sets the
// rights each one asks for when it starts (read back through the system's resource calls), and
// the GUI subsystem that keeps a console window away.
#ifdef _WIN32
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>

#include "TempFolder.h"

namespace {

std::string builtFile(const std::string& relative) {
  const char* dir = std::getenv("RK_BUILD_DIR");
  return rktest::windowsName(std::string(dir ? dir : ".") + "/" + relative);
}

const char* const kPrograms[] = {"launcher/stowpack.exe", "wizard/setup.exe", "installer/VantrySetup.exe"};

// The manifest resource (id 1) of a program, through the system's resource calls; "" without one.
std::string manifestOf(const std::string& program) {
  HMODULE module = LoadLibraryExA(program.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return "";
  std::string text;
  HRSRC found = FindResourceA(module, CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST);
  HGLOBAL loaded = found ? LoadResource(module, found) : NULL;
  const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (bytes) text.assign(bytes, SizeofResource(module, found));
  FreeLibrary(module);
  return text;
}

// The value of an attribute of the element that starts with "<name"; "<none>" when either is missing.
std::string attribute(const std::string& xml, const std::string& element, const std::string& name) {
  size_t start = xml.find("<" + element + " ");
  if (start == std::string::npos) return "<none>";
  std::string tag = xml.substr(start, xml.find('>', start) - start);
  size_t at = tag.find(" " + name + "=\"");
  if (at == std::string::npos) return "<none>";
  at += name.size() + 3;
  return tag.substr(at, tag.find('"', at) - at);
}

// The form of every manifest of ours: UTF-8 XML, version 1.0, the trust information in the asm.v3
// namespace holding the one execution level, and nothing more.
void expectTrustInfoForm(const std::string& manifest, const std::string& program) {
  SCOPED_TRACE(program);
  EXPECT_EQ(0u, manifest.find("<?xml version=\"1.0\" encoding=\"UTF-8\""));
  EXPECT_EQ("urn:schemas-microsoft-com:asm.v1", attribute(manifest, "assembly", "xmlns"));
  EXPECT_EQ("1.0", attribute(manifest, "assembly", "manifestVersion"));
  EXPECT_EQ("urn:schemas-microsoft-com:asm.v3", attribute(manifest, "trustInfo", "xmlns"));
  EXPECT_EQ("false", attribute(manifest, "requestedExecutionLevel", "uiAccess"));
  // The trust information's elements and no others: no DPI awareness or other settings
  // (the window is laid out in fixed pixels).
  std::string elements;
  for (size_t at = manifest.find('<'); at != std::string::npos; at = manifest.find('<', at + 1)) {
    if (manifest[at + 1] == '?' || manifest[at + 1] == '/') continue;
    size_t end = manifest.find_first_of(" />", at + 1);
    elements += manifest.substr(at + 1, end - at - 1) + " ";
  }
  EXPECT_EQ("assembly trustInfo security requestedPrivileges requestedExecutionLevel ", elements);
}

uint32_t little(const std::string& bytes, size_t at, int size) {
  uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | (unsigned char)bytes[at + i];
  return value;
}

}  // namespace

// The launcher and the installer built from it require administrator rights: the consent prompt
// comes before anything is unpacked, and Setup inherits the elevated token.
TEST(WindowsPrograms, TheLauncherAndTheInstallerRequireAdministrator) {
  for (const char* program : {"launcher/stowpack.exe", "installer/VantrySetup.exe"}) {
    std::string manifest = manifestOf(builtFile(program));
    ASSERT_FALSE(manifest.empty()) << program << ": no manifest";
    expectTrustInfoForm(manifest, program);
    EXPECT_EQ("requireAdministrator", attribute(manifest, "requestedExecutionLevel", "level")) << program;
  }
}

// Setup runs with the rights of the launcher that starts it.
TEST(WindowsPrograms, SetupRunsWithTheRightsOfItsStarter) {
  std::string manifest = manifestOf(builtFile("wizard/setup.exe"));
  ASSERT_FALSE(manifest.empty()) << "setup.exe: no manifest";
  expectTrustInfoForm(manifest, "wizard/setup.exe");
  EXPECT_EQ("asInvoker", attribute(manifest, "requestedExecutionLevel", "level"));
}

// 64-bit GUI-subsystem images: started from the desktop they open no console window.
TEST(WindowsPrograms, EveryProgramIsA64BitGuiProgram) {
  for (const char* program : kPrograms) {
    SCOPED_TRACE(program);
    std::string image = rktest::readFile(builtFile(program));
    ASSERT_GT(image.size(), 0x40u);
    size_t pe = little(image, 0x3C, 4);
    ASSERT_LT(pe + 24 + 70, image.size());
    ASSERT_EQ(0, image.compare(pe, 4, std::string("PE\0\0", 4)));
    EXPECT_EQ(0x8664u, little(image, pe + 4, 2));                                      // x86-64
    EXPECT_EQ(0x20Bu, little(image, pe + 24, 2));                                      // PE32+
    EXPECT_EQ((uint32_t)IMAGE_SUBSYSTEM_WINDOWS_GUI, little(image, pe + 24 + 68, 2));  // subsystem
  }
}
#endif
