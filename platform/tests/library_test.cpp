#include <gtest/gtest.h>

#include "platform/library.h"
#include "platform/process.h"
#include "platform/tests/test_util.h"

using namespace platform;
using namespace platform::test;

TEST(Library, WindowsNamesMapToSharedObjects) {
  const struct {
    const char* name;
    const char* file;
  } cases[] = {
      {"zpxc32.dll", "libzpxc32.so"},   {"ZPXFUNC.DLL", "libzpxfunc.so"}, {"zpxusb.dll", "libzpxusb.so"},
      {"ZpxUsb", "libzpxusb.so"},       {"ZPXI32.Dll", "libzpxi32.so"},   {"libzpxi32.so", "libzpxi32.so"},
  };
  for (const auto& c : cases) EXPECT_EQ(shared_object_name(c.name), c.file) << c.name;
}

TEST(Library, LoadsBindsAndReleases) {
  // The tests run in the output folder, where the test library lies beside the programs.
  Library lib = Library::load("ZPXTESTLIB.DLL");
  ASSERT_TRUE(lib.loaded()) << lib.error();
  auto answer = lib.bind<int (*)()>("zpx_test_answer");
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);
  EXPECT_EQ(lib.path(), executable_dir() + "/libzpxtestlib.so");
  EXPECT_EQ(lib.symbol("no_such_function"), nullptr);
  EXPECT_FALSE(lib.error().empty());

  // A moved library keeps its handle; the moved-from one holds nothing.
  Library moved = std::move(lib);
  EXPECT_FALSE(lib.loaded());
  EXPECT_TRUE(moved.loaded());
  EXPECT_EQ(lib.symbol("zpx_test_answer"), nullptr);
  moved.release();
  moved.release();
  EXPECT_FALSE(moved.loaded());
  EXPECT_TRUE(moved.path().empty());
}

TEST(Library, MissingAndNotALibrary) {
  Library missing = Library::load("nothere.dll");
  EXPECT_FALSE(missing.loaded());
  EXPECT_FALSE(missing.error().empty());
  EXPECT_FALSE(Library::load("").loaded());

  TempDir dir("notlib");
  write_file(dir / "libbogus.so", "not a shared object");
  Library bogus = Library::load((dir / "libbogus.so").string());
  EXPECT_FALSE(bogus.loaded());
  EXPECT_FALSE(bogus.error().empty());
}

TEST(Library, SearchesLibraryPathAfterProgramFolder) {
  TempDir dir("libpath");
  fs::copy_file(fs::path(executable_dir()) / "libzpxtestlib.so", dir / "libzpxelsewhere.so");
  {
    ScopedEnv env("ZPX_LIBRARY_PATH", std::nullopt);
    EXPECT_FALSE(Library::load("zpxelsewhere.dll").loaded());
  }
  {
    // Empty and missing folders in the list are passed over.
    ScopedEnv env("ZPX_LIBRARY_PATH", "::/nonexistent:" + dir.path().string());
    Library found = Library::load("ZpxElsewhere.DLL");
    ASSERT_TRUE(found.loaded()) << found.error();
    EXPECT_EQ(found.path(), (dir / "libzpxelsewhere.so").string());
  }
  {
    // The program's folder comes first: a copy of the test library on the list is not taken.
    fs::copy_file(fs::path(executable_dir()) / "libzpxtestlib.so", dir / "libzpxtestlib.so");
    ScopedEnv env("ZPX_LIBRARY_PATH", dir.path().string());
    EXPECT_EQ(Library::load("zpxtestlib.dll").path(), executable_dir() + "/libzpxtestlib.so");
  }
  // A name with a folder is a path and is loaded as given, without any search.
  EXPECT_TRUE(Library::load((dir / "libzpxelsewhere.so").string()).loaded());
  EXPECT_FALSE(Library::load("./zpxtestlib.dll").loaded());
}
