#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/zpx_format.h"
#include "compiler/compile.h"
#include "compiler/context.h"
#include "compiler/directives.h"
#include "compiler/line_reader.h"
#include "compiler/writer.h"

namespace fs = std::filesystem;

namespace {

std::string read_all(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Each test compiles in a fresh folder of its own.
class Compile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("zpxc-test-" + std::to_string(getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    old_ = fs::current_path();
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(old_);
    fs::remove_all(dir_);
  }
  // Compiles source text as "t.zpf"; returns the result, the listing and the image.
  int compile(const std::string& source, std::string& listing, std::string& image) {
    std::ofstream("t.zpf", std::ios::binary) << source;
    fs::remove("t.zpx");
    int r = compiler::compile_entry("t.zpf", nullptr, nullptr, nullptr);
    listing = read_all("zpxc.out");
    image = fs::exists("t.zpx") ? read_all("t.zpx") : "";
    return r;
  }
  fs::path dir_, old_;
};

std::vector<int> g_progress;
void record_progress(std::int32_t p) { g_progress.push_back(p); }

}  // namespace

TEST_F(Compile, OnlyCommentsGiveTheSmallestKeytable) {
  std::string listing, image;
  ASSERT_EQ(compile("! nothing but a comment\n", listing, image), 0);
  EXPECT_EQ(listing, "OK\n");
  ASSERT_EQ(image.size(), 317u);
  const auto* b = reinterpret_cast<const std::uint8_t*>(image.data());
  EXPECT_TRUE(zpx::has_magic({b, image.size()}));
  EXPECT_EQ(zpx::get_be16(b + 6), 0x013D);
  EXPECT_EQ(zpx::get_be16(b + 302), 0x0130);
  const std::uint8_t tail[] = {0x01, 0x38, 0x01, 0x03, 0x01, 0xBF, 0x00, 0x00, 0x01, 0x2E, 0x02, 0x00, 0x2C};
  EXPECT_EQ(image.substr(304), std::string(reinterpret_cast<const char*>(tail), sizeof tail));
  const std::uint8_t sounds[] = {0x55, 0x02, 0xFF, 0x14, 0x00, 0x04, 0x54, 0x04, 0x04, 0x54};
  EXPECT_EQ(image.substr(292, 10), std::string(reinterpret_cast<const char*>(sounds), sizeof sounds));
  EXPECT_EQ(image.substr(4, 2), std::string(2, '\0'));
  EXPECT_EQ(image.substr(8, 284), std::string(284, '\0'));
}

TEST_F(Compile, WholeListings) {
  struct Case {
    std::string source;
    std::string listing;
    int result;
  } cases[] = {
      {"", "ERROR: Nothing to do!", -1},
      {"! a\n! b\n! c\n! d\n! e\n! f\n! g\n! h\n! i\n! j\n! k\nTYPE XX99\n",
       "012: TYPE XX99\nERROR (line 12): unknown type\n1 error(s)\n", -1},
      {"FOO 1\r\nTY PE\r\n", "001: FOO 1\nERROR (line 1): unknown command\n002: TY PE\nERROR (line 2): unknown command\n2 error(s)\n", -1},
      {"A01 \"a\"\r\nA02 \"b\"\r\n\x1A\r\nFOO\r\n", "OK\n", 0},
      {"BAR", "001: BARERROR (line 1): unknown command\n1 error(s)\n", -1},
      {"LANG GR,X\n", "001: LANG GR,X\nERROR (line 1): unknown sign. 'S' or 'C' expected\n1 error(s)\n", -1},
      {"HK0 \"a\"\n", "001: HK0 \"a\"\nERROR (line 1): unknown keycode\n1 error(s)\n", -1},
      {"\t# TYPE ZK01 ! a model\n", "OK\n", 0},
      // Untrusted input: the echo ends at a zero byte as the line itself does; a line longer
      // than the line buffer goes on as the next line; strings that reach 240 bytes.
      {std::string("FOO\0BAR\n", 8), "001: FOOERROR (line 1): unknown command\n1 error(s)\n", -1},
      {std::string(600, 'X') + "\n",
       "001: " + std::string(499, 'X') + "ERROR (line 1): unknown command\n002: " + std::string(101, 'X') +
           "\nERROR (line 2): unknown command\n2 error(s)\n",
       -1},
      {"A01 \"" + std::string(120, 'a') + "\"\n",
       "001: A01 \"" + std::string(120, 'a') + "\"\nERROR (line 1): string too long\n1 error(s)\n", -1},
      {"A01 /C\"" + std::string(239, 'a') + "\"%65\n",
       "001: A01 /C\"" + std::string(239, 'a') + "\"%65\nERROR (line 1): string too long\n1 error(s)\n", -1},
      {"A01 /C\"" + std::string(238, 'a') + "\"%65\n", "OK\n", 0},
      {"A01 :#" + std::string(40, '9') + "\nSOUND " + std::string(40, '7') + ",100\n", "OK\n", 0},
  };
  for (const auto& k : cases) {
    std::string listing, image;
    EXPECT_EQ(compile(k.source, listing, image), k.result) << k.source;
    EXPECT_EQ(listing, k.listing) << k.source;
    EXPECT_EQ(image.empty(), k.result != 0) << k.source;
  }
}

TEST_F(Compile, OpenQuoteEndsAtTheLineEnd) {
  // The same definition with or without a line end after the open quote, and closed.
  std::string listing, closed, open_lf, open_eof;
  ASSERT_EQ(compile("A01 \"ab\"\n", listing, closed), 0);
  ASSERT_EQ(compile("A01 \"ab\n", listing, open_lf), 0);
  ASSERT_EQ(compile("A01 \"ab", listing, open_eof), 0);
  EXPECT_EQ(open_lf, closed);
  EXPECT_EQ(open_eof, closed);
}

TEST_F(Compile, FileNames) {
  std::ofstream("k.zpf") << "! x\n";
  fs::create_directories("out");
  EXPECT_EQ(compiler::compile_entry("k", nullptr, "out/", nullptr), 0);
  EXPECT_TRUE(fs::exists("k.zpx"));
  EXPECT_EQ(read_all("out/zpxc.out"), "OK\n");
  EXPECT_EQ(compiler::compile_entry("k.zpf", "t2", "list", nullptr), 0);
  EXPECT_TRUE(fs::exists("t2.zpx"));
  EXPECT_TRUE(fs::exists("list.out"));
  EXPECT_EQ(compiler::compile_entry("k.zpf", "t3.bin", "out", nullptr), 0);
  EXPECT_TRUE(fs::exists("t3.bin"));
  EXPECT_EQ(read_all("out/zpxc.out"), "OK\n");
  EXPECT_EQ(compiler::target_path(nullptr, "a.b/c.zpf"), "a.b/c.zpx");
  EXPECT_EQ(compiler::target_path("dir/", "x.zpf"), "x.zpx");
  std::string src;
  EXPECT_FALSE(compiler::source_path("dir/", src));
  EXPECT_TRUE(compiler::source_path("dir/name", src));
  EXPECT_EQ(src, "dir/name.zpf");
}

TEST_F(Compile, FailuresOfTheEntry) {
  EXPECT_EQ(compiler::compile_entry(nullptr, nullptr, nullptr, nullptr), -2);
  EXPECT_EQ(read_all("zpxc.out"), "ERROR: filename expected\n  zpxc <filename[.zpf]>");
  EXPECT_EQ(compiler::compile_entry("dir/", nullptr, nullptr, nullptr), -2);
  EXPECT_EQ(compiler::compile_entry("missing", nullptr, nullptr, nullptr), -1);
  EXPECT_EQ(read_all("zpxc.out"), "FATAL: 'missing.zpf' not found\n");
  EXPECT_EQ(compiler::compile_entry("x.zpf", nullptr, "/nonexistent/dir/l.out", nullptr), -3);
  std::ofstream("k.zpf") << "! x\n";
  EXPECT_EQ(compiler::compile_entry("k.zpf", "/nonexistent/dir/k.zpx", nullptr, nullptr), -1);
  EXPECT_EQ(read_all("zpxc.out"), "FATAL: can't open file '/nonexistent/dir/k.zpx'");
}

TEST_F(Compile, ProgressAfterLines1And17And100AtTheEnd) {
  std::string src;
  for (int i = 0; i < 20; ++i) src += "! line\n";
  std::ofstream("p.zpf") << src;
  g_progress.clear();
  ASSERT_EQ(compiler::compile_entry("p.zpf", nullptr, nullptr, record_progress), 0);
  EXPECT_EQ(g_progress, (std::vector<int>{5, 85, 100}));
  std::ofstream("q.zpf") << src << "BAD\n";
  g_progress.clear();
  ASSERT_EQ(compiler::compile_entry("q.zpf", nullptr, nullptr, record_progress), -1);
  EXPECT_EQ(g_progress, (std::vector<int>{4, 80}));
}

TEST_F(Compile, TwoCallsInOneProcessGiveTheSameBytes) {
  std::string l1, i1, l2, i2;
  const std::string src = "TYPE ZK11\nLANG SG,S\nMEMORY 7000\nSOUND 10,20\nMOD +OPOS\n";
  ASSERT_EQ(compile("TYPE ZK05\nBASE H\nLANG FR\n", l1, i1), 0);
  ASSERT_EQ(compile(src, l1, i1), 0);
  ASSERT_EQ(compile(src, l2, i2), 0);
  EXPECT_EQ(i1, i2);
  EXPECT_EQ(static_cast<unsigned char>(i1[4]), 0x08);  // OPOS forces US, keeps the lock bit
}

TEST_F(Compile, FailedWriteKeepsTheOldKeytable) {
  std::ofstream("k.zpf") << "! x\n";
  std::ofstream("k.zpx") << "old";
  std::ofstream("big.zpf") << "MEMORY 512\nPORT 9600,\"" + std::string(200, 'A') + "\"\nMSR \"" + std::string(200, 'B') + "\"\n";
  EXPECT_EQ(compiler::compile_entry("big.zpf", "k.zpx", nullptr, nullptr), -1);
  EXPECT_EQ(read_all("zpxc.out"), "FATAL: zpx-file to long\n");
  EXPECT_EQ(read_all("k.zpx"), "old");
}

TEST_F(Compile, ReplacingAKeytable) {
  std::ofstream("k.zpf") << "! x\n";
  // A link to the keytable stays a link; the file it names gets the new keytable.
  fs::create_directories("store");
  std::ofstream("store/k.zpx") << "old";
  fs::create_symlink("store/k.zpx", "k.zpx");
  ASSERT_EQ(compiler::compile_entry("k.zpf", nullptr, nullptr, nullptr), 0);
  EXPECT_TRUE(fs::is_symlink("k.zpx"));
  EXPECT_EQ(fs::file_size("store/k.zpx"), 317u);
  // A replaced keytable keeps its permissions; no temporary file is left behind.
  fs::permissions("store/k.zpx", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_EQ(compiler::compile_entry("k.zpf", "store/k.zpx", nullptr, nullptr), 0);
  EXPECT_EQ(fs::status("store/k.zpx").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(std::distance(fs::directory_iterator("store"), fs::directory_iterator{}), 1);
  // A folder of the target's name is not replaced.
  fs::create_directories("d.zpx");
  EXPECT_EQ(compiler::compile_entry("k.zpf", "d.zpx", nullptr, nullptr), -1);
  EXPECT_EQ(read_all("zpxc.out"), "FATAL: can't open file 'd.zpx'");
  EXPECT_TRUE(fs::is_directory("d.zpx"));
}

TEST(LineReader, Normalisation) {
  struct Case {
    const char* raw;
    const char* keyword;
    const char* argument;
  } cases[] = {
      {"type zk01\n", "TYPE", "ZK01"},
      {"  #\xA7lang gr , c ! comment\n", "LANG", "GR,C"},
      {"A01 \"a b\\\"c\" x\n", "A01", "\"a b\\\"c\"X"},
      {"!@keylayer: EasyLayer 2\n", "KEYLAYER", ":EASYLAYER2"},
      {"! just a comment\n", "", ""},
      {"TY PE\n", "TY", "PE"},
      {"MSR \"unterminated\n", "MSR", "\"unterminated"},
      {"A01 \"a\\\n", "A01", "\"a\\"},
      {"KEY", "KEY", ""},
  };
  for (const auto& k : cases) {
    compiler::Line line;
    compiler::normalise(k.raw, line);
    EXPECT_EQ(line.keyword, k.keyword) << k.raw;
    EXPECT_EQ(line.argument, k.argument) << k.raw;
  }
}

TEST(LineReader, LongLinesContinueInTheNextRead) {
  std::string text = std::string(600, 'A') + "\nB\n";
  std::FILE* f = fmemopen(text.data(), text.size(), "rb");
  compiler::Line line;
  ASSERT_TRUE(compiler::read_line(f, line));
  EXPECT_EQ(line.raw.size(), 499u);
  EXPECT_EQ(line.keyword.size(), 499u);
  ASSERT_TRUE(compiler::read_line(f, line));
  EXPECT_EQ(line.raw, std::string(101, 'A') + "\n");
  ASSERT_TRUE(compiler::read_line(f, line));
  EXPECT_EQ(line.keyword, "B");
  EXPECT_FALSE(compiler::read_line(f, line));
  std::fclose(f);
}

// The writer on key lists filled by hand, apart from the conversion of texts.
TEST(Writer, HandFilledKeyLists) {
  using Bytes = std::vector<std::uint8_t>;
  auto record = [](std::uint8_t value, std::uint8_t mask, std::uint8_t mode, Bytes codes) {
    return compiler::Record{value, mask, mode, std::move(codes)};
  };
  // Which single definitions stand in the key table as one scancode.
  struct Case {
    compiler::Record r;
    int entry;  // -1: a record is written
  } cases[] = {
      {record(0x00, 0x00, 0x1B, {0x1E}), 0x1E},
      {record(0x00, 0x00, 0x1B, {0x1E, 0x9E}), 0x1E},
      {record(0x00, 0x00, 0x1B, {0xE0, 0x4B}), 0xCB},
      {record(0x00, 0x00, 0x1B, {0xE0, 0x4B, 0xE0, 0xCB}), 0xCB},
      {record(0x00, 0x00, 0x1B, {0x2A, 0x1E, 0x9E}), -1},
      {record(0x00, 0x00, 0x1B, {0x2A, 0x1E, 0x9E, 0xAA}), -1},
      {record(0x00, 0x80, 0x1B, {0x1E}), -1},
      {record(0x00, 0x00, 0x1F, {0x1E}), -1},
  };
  for (const auto& k : cases) {
    compiler::Context ctx;
    ctx.keys[5].push_back(k.r);
    std::size_t length = 0;
    ASSERT_TRUE(compiler::build_image(ctx, length));
    const auto& img = ctx.image;
    if (k.entry >= 0) {
      EXPECT_EQ(img[18], 0x00);
      EXPECT_EQ(img[19], k.entry);
      EXPECT_EQ(length, 317u);
      continue;
    }
    EXPECT_EQ(zpx::get_be16(&img[18]), 317);
    EXPECT_EQ(zpx::get_be16(&img[317]), 0x0000);
    EXPECT_EQ(img[319], k.r.value);
    EXPECT_EQ(img[320], k.r.mask);
    EXPECT_EQ(img[321], k.r.mode);
    EXPECT_TRUE(std::equal(k.r.codes.begin(), k.r.codes.end(), img.begin() + 322));
    EXPECT_EQ(img[322 + k.r.codes.size()], 0x00);
    EXPECT_EQ(length, 317 + 6 + k.r.codes.size());
  }

  // Two records of one key are linked in list order, the last link is 0.
  compiler::Context two;
  two.keys[0] = {record(0x02, 0x82, 0x00, {0x2A, 0x1E}), record(0x00, 0x80, 0x00, {0x30})};
  std::size_t length = 0;
  ASSERT_TRUE(compiler::build_image(two, length));
  EXPECT_EQ(zpx::get_be16(&two.image[8]), 317);
  EXPECT_EQ(zpx::get_be16(&two.image[317]), 317 + 8);
  EXPECT_EQ(two.image[317 + 8 + 4], 0x00);  // mode of the second record
  EXPECT_EQ(zpx::get_be16(&two.image[317 + 8]), 0);
  EXPECT_EQ(length, 317u + 8 + 7);
  EXPECT_EQ(zpx::get_be16(&two.image[6]), length);

  // The extended layout: key 182's entry at 352, blocks from 400 on, 01h 2Eh at 398.
  compiler::Context ext;
  ext.extended_layout = true;
  ext.keys[182].push_back(record(0x00, 0x80, 0x00, {0x1E, 0x9E}));
  ASSERT_TRUE(compiler::build_image(ext, length));
  EXPECT_EQ(zpx::get_be16(&ext.image[302]), 400);
  EXPECT_EQ(zpx::get_be16(&ext.image[398]), 0x012E);
  EXPECT_EQ(zpx::get_be16(&ext.image[352]), 400 + 13);
  EXPECT_EQ(zpx::get_be16(&ext.image[400 + 8]), 0x012E);  // block 2 is the last block
  EXPECT_EQ(length, 400u + 13 + 8);
}

TEST_F(Compile, KeytablePastTheCapacityIsNotWritten) {
  compiler::Context ctx;
  std::FILE* listing = std::tmpfile();
  ctx.listing = listing;
  ctx.capacity = 512;
  for (int k = 0; k < 40; ++k) ctx.keys[static_cast<std::size_t>(k)].push_back({0x00, 0x80, 0x00, {0x1E, 0x9E}});
  EXPECT_FALSE(compiler::write_zpx(ctx, "full.zpx"));
  EXPECT_FALSE(fs::exists("full.zpx"));
  EXPECT_EQ(ctx.error_count, 1);
  std::rewind(listing);
  char text[64] = {};
  EXPECT_EQ(std::string(text, std::fread(text, 1, sizeof text - 1, listing)), "FATAL: zpx-file to long\n");
  std::fclose(listing);
  // The same keys fit the default capacity.
  ctx.capacity = zpx::kDefaultCapacity;
  ctx.listing = nullptr;
  EXPECT_TRUE(compiler::write_zpx(ctx, "full.zpx"));
  EXPECT_EQ(fs::file_size("full.zpx"), 317u + 40 * 8);
}
