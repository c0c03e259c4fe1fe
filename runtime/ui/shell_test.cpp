// Whole-file reading, the browser's addresses, the open-file dialog's start
// folder and remembered paths, alike on every backend.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "runtime/ui_testing.h"
#include "shell.h"

namespace zoq::ui {
namespace {

namespace fs = std::filesystem;
using testing::Gbk;

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("zoq-shell-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  Text Path(const char* name) const { return Narrow(NativePath(dir_ / name)); }
  void Write(const char* name, const std::string& bytes) const {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  fs::path dir_;
};

TEST_F(Files, ReadsWhatIsThereAndNothingElse) {
  const std::string bytes("\x89PNG\0\0\xFF tail", 12);
  Write("picture.png", bytes);
  EXPECT_EQ(ReadWholeFile(Path("picture.png")), Bytes(bytes.begin(), bytes.end()));
  const std::string large(100000, 'x');  // past the first guess of a size
  Write("large", large);
  EXPECT_EQ(ReadWholeFile(Path("large")).size(), large.size());
  Write("empty", "");
  EXPECT_TRUE(ReadWholeFile(Path("empty")).empty());
  EXPECT_TRUE(ReadWholeFile(Path("missing.jpg")).empty());
  EXPECT_TRUE(ReadWholeFile(Narrow(NativePath(dir_))).empty());  // a folder
  EXPECT_TRUE(ReadWholeFile("").empty());
  // Over the limit counts as unreadable; sparse, so no disk space is used.
  std::ofstream(dir_ / "big.jpg").close();
  fs::resize_file(dir_ / "big.jpg", kLargestFile + 1);
  EXPECT_TRUE(ReadWholeFile(Path("big.jpg")).empty());
#ifndef _WIN32
  EXPECT_TRUE(ReadWholeFile("/dev/zero").empty());  // endless, not a regular file
  if (geteuid() != 0) {  // root reads files whatever their permissions
    Write("secret.jpg", "data");
    fs::permissions(dir_ / "secret.jpg", fs::perms::owner_write);
    EXPECT_TRUE(ReadWholeFile(Path("secret.jpg")).empty());
  }
#endif
}

TEST_F(Files, TheDialogStartsInTheFolderItsTextNamesAndItsChoicesOpen) {
  const WideText home = NativePath(dir_);
  fs::create_directories(dir_ / "desk");
  const WideText desktop = NativePath(dir_ / "desk");
  EXPECT_EQ(StartFolder(Gbk(u"桌面"), desktop, home), desktop);
  EXPECT_EQ(StartFolder(Gbk(u"桌面"), NativePath(dir_ / "gone"), home), home);
  EXPECT_EQ(StartFolder(Path("desk"), NativePath(dir_ / "gone"), home), desktop);
  EXPECT_EQ(StartFolder(Narrow(NativePath(dir_ / "desk" / ".." / "desk")) + '/', {}, home),
            desktop);
  EXPECT_EQ(StartFolder(Path("missing"), desktop, home), home);
  EXPECT_EQ(StartFolder("", desktop, home), home);

  // A name 936 cannot spell opens through the path the dialog gave.
  const WideText odd = NativePath(dir_ / fs::path(u"caf\u00e9 \U0001F600.png"));
  std::ofstream(fs::path(odd), std::ios::binary) << "abc";
  const Text spelled = Narrow(odd);
  EXPECT_TRUE(ReadWholeFile(spelled).empty());
  RememberChosenPath(spelled, odd);
  EXPECT_EQ(PathFromText(spelled), odd);
  EXPECT_EQ(ReadWholeFile(spelled), (Bytes{'a', 'b', 'c'}));
}

TEST(Browser, OnlyWebAddressesGoToTheBrowser) {
  EXPECT_TRUE(IsWebAddress("http://127.0.0.1:18080/share/zoq?a=1"));
  EXPECT_TRUE(IsWebAddress("HTTPS://example.invalid/"));
  EXPECT_FALSE(IsWebAddress("http://"));
  EXPECT_FALSE(IsWebAddress("file:///etc/passwd"));
  EXPECT_FALSE(IsWebAddress("C:\\Windows\\System32\\calc.exe"));
  EXPECT_FALSE(IsWebAddress(" http://a/"));
  EXPECT_FALSE(IsWebAddress("httpx://a/"));
  EXPECT_FALSE(IsWebAddress(""));
  EXPECT_FALSE(OpenInBrowser("file:///etc/passwd"));
}

}  // namespace
}  // namespace zoq::ui
