// What setup.exe carries: the package resource (found as "dat"/"Velmora", language 2052, equal to
// the package built for it), the version information and the manifest.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "setup_windows_test_main.h"
#include "support/windows/windows_helpers.h"

namespace qor {
namespace {

class ResourcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (SetupProgramPath().empty()) GTEST_SKIP() << "no --setup=PATH given";
    module_ = LoadLibraryExA(SetupProgramPath().c_str(), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr) << SetupProgramPath();
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }
  std::string Resource(HRSRC info) {
    HGLOBAL loaded = LoadResource(module_, info);
    const char* data = static_cast<const char*>(LockResource(loaded));
    return std::string(data, SizeofResource(module_, info));
  }
  HMODULE module_ = nullptr;
};

TEST_F(ResourcesTest, PackageIsFoundByTypeDatNameVelmoraInChineseAndIsThePackageBuilt) {
  HRSRC any_case = FindResourceA(module_, "Velmora", "dat");
  ASSERT_NE(any_case, nullptr);
  HRSRC chinese = FindResourceExA(module_, "DAT", "VELMORA",
                                  MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED));
  ASSERT_NE(chinese, nullptr);
  EXPECT_EQ(MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), 2052);
  const std::string expected = testing::ReadFile(EmbeddedPackagePath());
  ASSERT_FALSE(expected.empty()) << EmbeddedPackagePath();
  EXPECT_TRUE(Resource(any_case) == expected);
}

TEST_F(ResourcesTest, VersionInformationNamesTheProductAndItsVersions) {
  ASSERT_NE(FindResourceA(module_, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16)),
            nullptr);  // RT_VERSION
  // Read through GetFileVersionInfoA: VerQueryValueA writes into room after the block that only
  // that function leaves, so a raw copy of the resource would be overrun.
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(SetupProgramPath().c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::string block(size, '\0');
  ASSERT_TRUE(GetFileVersionInfoA(SetupProgramPath().c_str(), 0, size, block.data()));
  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", &value, &length));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 3));
  EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, 6));
  EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 3));
  EXPECT_EQ(fixed->dwProductVersionLS, MAKELONG(0, 6));
  struct Expected {
    const char* key;
    const char* text;
  } strings[] = {{"FileVersion", "3.0.6.0"},
                 {"ProductVersion", "2.9.6.0"},
                 {"FileDescription", "Pagrim"},
                 {"ProductName", "Pagrim"},
                 {"Comments", "Pagrim"}};
  for (const Expected& e : strings) {
    SCOPED_TRACE(e.key);
    std::string path = std::string("\\StringFileInfo\\080404B0\\") + e.key;
    ASSERT_TRUE(VerQueryValueA(block.data(), path.c_str(), &value, &length));
    EXPECT_STREQ(static_cast<const char*>(value), e.text);
  }
}

TEST_F(ResourcesTest, ManifestAsksForNoElevationDpiAwarenessAndCommonControls6) {
  HRSRC info = FindResourceA(module_, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
  ASSERT_NE(info, nullptr);
  std::string manifest = Resource(info);
  for (const char* needle :
       {"level=\"asInvoker\"", "<dpiAware", "Microsoft.Windows.Common-Controls",
        "version=\"6.0.0.0\"", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
    EXPECT_NE(manifest.find(needle), std::string::npos) << needle;
  }
  EXPECT_NE(FindResourceA(module_, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14)), nullptr)
      << "no program icon";
}

}  // namespace
}  // namespace qor
