#include "graphics/bmp_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "bmp_builder.h"

namespace korv {
namespace {

using test::BmpSpec;
using test::MakeBmp;

constexpr uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF;

bool ParseText(const std::string& file, bmp::TBmpImage& out, std::string* why = nullptr) {
  return bmp::Parse(reinterpret_cast<const uint8_t*>(file.data()), file.size(), out, why);
}

TEST(BmpFile, TrueColourRowsAreBottomUpAndPadded) {
  BmpSpec spec;
  spec.width = 3;  // 9 bytes of pixels, padded to 12
  spec.rows = {{kRed, kGreen, kBlue}, {kWhite, 0x123456, 0}};
  bmp::TBmpImage img;
  ASSERT_TRUE(ParseText(MakeBmp(spec), img));
  EXPECT_EQ(img.stride, 12u);
  EXPECT_EQ(img.tableEntries, 0u);  // no palette without a colour table
  EXPECT_FALSE(img.TopDown());
  // The first stored row is the bottom one.
  EXPECT_EQ(img.PixelColour(0, 1), kRed);
  EXPECT_EQ(img.PixelColour(2, 1), kBlue);
  EXPECT_EQ(img.PixelColour(0, 0), kWhite);
  EXPECT_EQ(img.PixelColour(1, 0), 0x123456u);
  EXPECT_EQ(img.PixelColour(3, 0), 0xFFFFFFFFu);
  EXPECT_EQ(img.PixelColour(0, -1), 0xFFFFFFFFu);
  EXPECT_EQ(img.ColourCount(), 1u << 24);
  EXPECT_EQ(img.pixels.size(), 24u);
}

TEST(BmpFile, TopDownRowsComeFirst) {
  BmpSpec spec;
  spec.height = -2;
  spec.rows = {{kRed, kRed}, {kBlue, kBlue}};
  bmp::TBmpImage img;
  ASSERT_TRUE(ParseText(MakeBmp(spec), img));
  EXPECT_TRUE(img.TopDown());
  EXPECT_EQ(img.Rows(), 2);
  EXPECT_EQ(img.PixelColour(1, 0), kRed);
  EXPECT_EQ(img.PixelColour(1, 1), kBlue);
}

TEST(BmpFile, PaletteDepthsLookUpTheirTable) {
  BmpSpec eight;
  eight.bits = 8;
  eight.width = 4;
  eight.table = {kRed, kGreen, kBlue};  // a short table: biClrUsed = 3
  eight.rows = {{0, 1, 2, 1}, {2, 2, 0, 0}};
  bmp::TBmpImage img;
  ASSERT_TRUE(ParseText(MakeBmp(eight), img));
  EXPECT_EQ(img.tableEntries, 3u);
  EXPECT_EQ(img.ColourCount(), 3u);
  EXPECT_EQ(img.PixelColour(0, 1), kRed);
  EXPECT_EQ(img.PixelColour(3, 1), kGreen);
  EXPECT_EQ(img.PixelColour(0, 0), kBlue);
  // The info block passed on holds the header and exactly the table.
  EXPECT_EQ(img.info.size(), 40u + 3 * 4);
  EXPECT_EQ(img.TableColour(2), kBlue);
  EXPECT_EQ(img.TableColour(3), 0u);

  BmpSpec four;
  four.bits = 4;
  four.width = 3;
  four.table.assign(16, 0);
  four.table[5] = kGreen;
  four.table[10] = kBlue;
  four.rows = {{5, 10, 5}};
  four.height = 1;
  ASSERT_TRUE(ParseText(MakeBmp(four), img));
  EXPECT_EQ(img.PixelColour(0, 0), kGreen);
  EXPECT_EQ(img.PixelColour(1, 0), kBlue);
  EXPECT_EQ(img.PixelColour(2, 0), kGreen);

  BmpSpec one;
  one.bits = 1;
  one.width = 10;
  one.height = 1;
  one.table = {0, kWhite};
  one.rows = {{1, 0, 0, 0, 0, 0, 0, 0, 0, 1}};
  ASSERT_TRUE(ParseText(MakeBmp(one), img));
  EXPECT_EQ(img.PixelColour(0, 0), kWhite);
  EXPECT_EQ(img.PixelColour(1, 0), 0u);
  EXPECT_EQ(img.PixelColour(9, 0), kWhite);
  EXPECT_EQ(img.ColourCount(), 2u);
}

TEST(BmpFile, SixteenAndThirtyTwoBits) {
  BmpSpec plain16;  // 5-5-5
  plain16.bits = 16;
  plain16.rows = {{0x7C00, 0x001F}, {0x03E0, 0x7FFF}};
  bmp::TBmpImage img;
  ASSERT_TRUE(ParseText(MakeBmp(plain16), img));
  EXPECT_EQ(img.PixelColour(0, 1), kRed);
  EXPECT_EQ(img.PixelColour(1, 1), kBlue);
  EXPECT_EQ(img.PixelColour(0, 0), kGreen);
  EXPECT_EQ(img.PixelColour(1, 0), kWhite);

  BmpSpec fields16 = plain16;  // 5-6-5
  fields16.compression = bmp::kBitFields;
  fields16.masks = {0xF800, 0x07E0, 0x001F};
  fields16.rows = {{0xF800, 0x07E0}, {0x001F, 0}};
  ASSERT_TRUE(ParseText(MakeBmp(fields16), img));
  EXPECT_EQ(img.info.size(), 52u);
  EXPECT_EQ(img.PixelColour(0, 1), kRed);
  EXPECT_EQ(img.PixelColour(1, 1), kGreen);
  EXPECT_EQ(img.PixelColour(0, 0), kBlue);

  BmpSpec plain32;
  plain32.bits = 32;
  plain32.rows = {{0x336699, kRed}, {0, 0}};
  ASSERT_TRUE(ParseText(MakeBmp(plain32), img));
  EXPECT_EQ(img.PixelColour(0, 1), 0x336699u);
  EXPECT_EQ(img.PixelColour(1, 1), kRed);
}

// Each way of spoiling a good 8-bit file is refused with a reason.
TEST(BmpFile, DamagedFilesAreRefused) {
  BmpSpec spec;
  spec.bits = 8;
  spec.table = {kRed, kGreen};
  spec.rows = {{0, 1}, {1, 0}};
  const std::string good = MakeBmp(spec);
  bmp::TBmpImage img;
  ASSERT_TRUE(ParseText(good, img));

  struct Case {
    const char* what;
    std::function<void(std::string&)> spoil;
  };
  const Case cases[] = {
      {"magic", [](std::string& s) { s[0] = 'X'; }},
      {"core header", [](std::string& s) { test::Put32(s, 14, 12); }},
      {"v5 header", [](std::string& s) { test::Put32(s, 14, 124); }},
      {"width 0", [](std::string& s) { test::Put32(s, 18, 0); }},
      {"negative width", [](std::string& s) { test::Put32(s, 18, static_cast<uint32_t>(-2)); }},
      {"height 0", [](std::string& s) { test::Put32(s, 22, 0); }},
      {"huge height", [](std::string& s) { test::Put32(s, 22, 0x7FFFFFFF); }},
      {"lowest height", [](std::string& s) { test::Put32(s, 22, 0x80000000u); }},
      {"too many pixels", [](std::string& s) {
         test::Put32(s, 18, 16000);
         test::Put32(s, 22, 16000);
       }},
      {"planes", [](std::string& s) { test::Put16(s, 26, 2); }},
      {"depth", [](std::string& s) { test::Put16(s, 28, 7); }},
      {"run-length", [](std::string& s) { test::Put32(s, 30, 1); }},
      {"bit fields at 8 bits", [](std::string& s) { test::Put32(s, 30, 3); }},
      {"table too large", [](std::string& s) { test::Put32(s, 46, 257); }},
      {"table beyond the file", [](std::string& s) { test::Put32(s, 46, 256); }},
      {"offset into the table", [](std::string& s) { test::Put32(s, 10, 54); }},
      {"offset beyond the file", [](std::string& s) { test::Put32(s, 10, 0xFFFFFFF0u); }},
      {"truncated pixels", [](std::string& s) { s.resize(s.size() - 1); }},
      {"headers only", [](std::string& s) { s.resize(53); }},
  };
  for (const Case& c : cases) {
    std::string bad = good;
    c.spoil(bad);
    std::string why;
    EXPECT_FALSE(ParseText(bad, img, &why)) << c.what;
    EXPECT_FALSE(why.empty()) << c.what;
    EXPECT_TRUE(img.pixels.empty()) << c.what;
  }
  // A larger file size field or a zero image size do not matter.
  std::string loose = good;
  test::Put32(loose, 2, 1);
  test::Put32(loose, 34, 0);
  EXPECT_TRUE(ParseText(loose, img));
}

TEST(BmpFile, LoadFileReadsFromDisk) {
  BmpSpec spec;
  spec.rows = {{kBlue, kBlue}, {kGreen, kRed}};
  const std::string path = ::testing::TempDir() + "/bmp_file_test.bmp";
  std::ofstream(path, std::ios::binary) << MakeBmp(spec);
  bmp::TBmpImage img;
  ASSERT_TRUE(bmp::LoadFile(path, img));
  EXPECT_EQ(img.PixelColour(1, 0), kRed);
  std::string why;
  EXPECT_FALSE(bmp::LoadFile(path + ".missing", img, &why));
  EXPECT_EQ(why, "cannot open the file");
  std::remove(path.c_str());
}

}  // namespace
}  // namespace korv
