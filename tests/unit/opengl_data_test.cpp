// The neutral parts of OpenGL: model files, the texture BMP reader, sprite
// motion and hit records.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "opengl/bmp_texture.h"
#include "opengl/hit_records.h"
#include "opengl/sprite.h"
#include "opengl/tmgl_model.h"

namespace korv {
namespace {

// --- Text models ------------------------------------------------------------

TEST(TmglText, QuadsReadFourLinesPerElementAndMakeAutomaticNormals) {
  const std::string text =
      "// a comment\r\n"
      "q ; VN ; 2\r\n"
      "\r\n"
      "1, -2, 0;\n"
      "0,0,0;0,0,1\n"
      "/ another comment\n"
      "1,1,1;\n2,2,2;\n3,3,3;\n4,4,4;\n5,5,5;\n6,6,6;\n";
  TmglModel m;
  int32_t line = 0;
  ASSERT_EQ(ParseTmglText(text, m, line), TmglTextStatus::Ok);
  EXPECT_EQ(m.type, "Q");
  EXPECT_EQ(m.format, "VN");
  EXPECT_EQ(m.count, 8);
  ASSERT_NE(m.normals, nullptr);
  // Centre (0, 0, 0), length 1: (1, -2, 0) gets (1, -1, -1).
  EXPECT_EQ(std::vector<double>(m.normals, m.normals + 3), (std::vector<double>{1, -1, -1}));
  EXPECT_EQ(std::vector<double>(m.normals + 3, m.normals + 6), (std::vector<double>{0, 0, 1}));
  EXPECT_EQ(m.positions[3 * 7 + 2], 6);
  EXPECT_EQ(m.colours, nullptr);
}

TEST(TmglText, CentreAndLengthOfTheHeaderApplyToAutomaticNormals) {
  TmglModel m;
  int32_t line = 0;
  ASSERT_EQ(ParseTmglText("P;VNC;1;1,1,1,0.5\n2,0,1;;0.5,1,1,1\n", m, line), TmglTextStatus::Ok);
  EXPECT_EQ(std::vector<double>(m.normals, m.normals + 3), (std::vector<double>{0.5, -0.5, -0.5}));
  EXPECT_EQ(std::vector<double>(m.colours, m.colours + 4), (std::vector<double>{0.5, 1, 1, 1}));
}

TEST(TmglText, FaultsNameTheLine) {
  struct Case {
    const char* text;
    TmglTextStatus status;
    int32_t line;
  } cases[] = {
      {"", TmglTextStatus::MissingLines, 0},
      {"// only a comment\n", TmglTextStatus::MissingLines, 1},
      {"X;V;1\n1,2,3\n", TmglTextStatus::BadHeader, 1},
      {"\nT;V;0\n", TmglTextStatus::BadHeader, 2},
      {"T;V;-1\n", TmglTextStatus::BadHeader, 1},
      {"T;V\n", TmglTextStatus::BadHeader, 1},
      {";V;1\n", TmglTextStatus::BadHeader, 1},
      {"T;V;999999999\n", TmglTextStatus::BadHeader, 1},
      {"T;V;1\n1,2,3\n4,5,6\n", TmglTextStatus::MissingLines, 3},
      {"L;VC;1\n1,2,3;1,1,1,1\n\n1,2,3;\n", TmglTextStatus::BadData, 4},
      {"P;VX;1\n1,2,3;1\n", TmglTextStatus::BadData, 2},
      {"P;vn;1\n1,2,3;1\n", TmglTextStatus::BadData, 2},
  };
  for (const Case& c : cases) {
    TmglModel m;
    int32_t line = -1;
    EXPECT_EQ(ParseTmglText(c.text, m, line), c.status) << c.text;
    EXPECT_EQ(line, c.line) << c.text;
  }
}

// --- Binary models ------------------------------------------------------------

TmglModel SampleModel() {
  TmglModel m;
  m.type = "T";
  m.format = "VC";
  m.count = 3;
  for (int i = 0; i < 9; ++i) m.own[0].push_back(i * 1.5);
  for (int i = 0; i < 12; ++i) m.own[1].push_back(i / 16.0);
  m.UseOwnArrays();
  return m;
}

uint32_t At(const std::string& s, size_t at) {
  uint32_t v;
  std::memcpy(&v, s.data() + at, 4);
  return v;
}

TEST(TmglBinary, WriterLaysOutHeaderAndBlocks) {
  const std::string file = WriteTmglBinary(SampleModel());
  ASSERT_EQ(file.size(), 200u);
  EXPECT_EQ(TmglBinarySize(SampleModel()), 200);
  EXPECT_EQ(file.substr(0, 12), std::string("TMGL\x01\x00T VC  ", 12));
  EXPECT_EQ(At(file, 12), 3u);
  EXPECT_EQ(At(file, 16), 32u);
  EXPECT_EQ(At(file, 20), 104u);  // no texture block
  EXPECT_EQ(At(file, 24), 104u);
  EXPECT_EQ(At(file, 28), 200u);
  double d;
  std::memcpy(&d, file.data() + 104 + 8, 8);
  EXPECT_EQ(d, 1 / 16.0);
}

TEST(TmglBinary, RoundTripKeepsEveryArray) {
  TmglModel m;
  m.type = "QS";
  m.format = "NTCV";
  m.count = 4;
  const int sizes[4] = {3, 4, 2, 3};
  for (int a = 0; a < 4; ++a)
    for (int i = 0; i < 4 * sizes[a]; ++i) m.own[a].push_back(a * 100 + i + 0.25);
  m.UseOwnArrays();
  TmglModel back;
  ASSERT_TRUE(ParseTmglBinary(WriteTmglBinary(m), back));
  EXPECT_EQ(back.type, "QS");
  EXPECT_EQ(back.format, "NTCV");
  EXPECT_EQ(back.count, 4);
  for (int a = 0; a < 4; ++a) EXPECT_EQ(back.own[a], m.own[a]) << a;
}

TEST(TmglBinary, TextModelSurvivesTheBinaryForm) {
  TmglModel text;
  int32_t line;
  ASSERT_EQ(ParseTmglText("T;VTN;1\n0,1,0;0.5,1;\n-1,0,0;0,0;0,0,1\n1,0,0;1,0;\n", text, line),
            TmglTextStatus::Ok);
  TmglModel back;
  ASSERT_TRUE(ParseTmglBinary(WriteTmglBinary(text), back));
  for (int a = 0; a < 4; ++a) EXPECT_EQ(back.own[a], text.own[a]) << a;
  // Automatic normal of (0, 1, 0): only y lies above the centre.
  EXPECT_EQ(std::vector<double>(back.normals, back.normals + 3), (std::vector<double>{-1, 1, -1}));
}

TEST(TmglBinary, RefusesWrongMagicShortHeadersAndBlocksOutsideTheFile) {
  const std::string good = WriteTmglBinary(SampleModel());
  TmglModel m;
  std::string bad = good;
  bad[0] = 'X';
  EXPECT_FALSE(ParseTmglBinary(bad, m));
  EXPECT_FALSE(ParseTmglBinary(good.substr(0, 31), m));
  EXPECT_FALSE(ParseTmglBinary(good.substr(0, 199), m));
  bad = good;
  bad[12] = '\x7F';  // count beyond the blocks
  EXPECT_FALSE(ParseTmglBinary(bad, m));
  bad = good;
  bad[15] = '\x80';  // negative count
  EXPECT_FALSE(ParseTmglBinary(bad, m));
  bad = good;
  bad[27] = '\xFF';  // colour offset far outside
  EXPECT_FALSE(ParseTmglBinary(bad, m));
  EXPECT_TRUE(ParseTmglBinary(good, m));
}

// --- BMP textures ---------------------------------------------------------------

std::string Bmp(int32_t w, int32_t h, uint16_t bits, size_t pixelBytes) {
  std::string s = "BM";
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
  };
  auto u16 = [&](uint16_t v) { s.push_back(static_cast<char>(v)), s.push_back(static_cast<char>(v >> 8)); };
  u32(static_cast<uint32_t>(54 + pixelBytes)), u32(0), u32(54), u32(40);
  u32(static_cast<uint32_t>(w)), u32(static_cast<uint32_t>(h)), u16(1), u16(bits);
  u32(0), u32(0), u32(0), u32(0), u32(0), u32(0);
  for (size_t i = 0; i < pixelBytes; ++i) s.push_back(static_cast<char>(i));
  return s;
}

TEST(BmpTexture, ReadsBottomUpRowsAsStored) {
  BmpTexture t;
  ASSERT_TRUE(ParseBmpTexture(Bmp(3, 2, 24, 24), t));  // rows of 9 bytes padded to 12
  EXPECT_EQ(t.width, 3);
  EXPECT_EQ(t.height, 2);
  ASSERT_EQ(t.rows.size(), 24u);
  EXPECT_EQ(t.rows[12], 12);
}

TEST(BmpTexture, FlipsTopDownFiles) {
  BmpTexture t;
  ASSERT_TRUE(ParseBmpTexture(Bmp(1, -2, 24, 8), t));
  EXPECT_EQ(t.height, 2);
  // The file's first row is the top one: it becomes the last.
  EXPECT_EQ(t.rows[0], 4);
  EXPECT_EQ(t.rows[4], 0);
}

TEST(BmpTexture, ReadsTheCoreHeader) {
  std::string s = "BM";
  s += std::string("\0\0\0\0\0\0\0\0", 8);
  s += std::string("\x1A\0\0\0\x0C\0\0\0\x02\0\x01\0\x01\0\x18\0", 16);
  s += std::string(8, '\x07');
  BmpTexture t;
  ASSERT_TRUE(ParseBmpTexture(s, t));
  EXPECT_EQ(t.width, 2);
  EXPECT_EQ(t.height, 1);
}

TEST(BmpTexture, RefusesOtherDepthsAndBrokenFiles) {
  BmpTexture t;
  EXPECT_FALSE(ParseBmpTexture(Bmp(2, 2, 8, 64), t));
  EXPECT_FALSE(ParseBmpTexture(Bmp(2, 2, 32, 64), t));
  EXPECT_FALSE(ParseBmpTexture(Bmp(3, 2, 24, 23), t));   // pixels cut short
  EXPECT_FALSE(ParseBmpTexture(Bmp(0, 2, 24, 64), t));
  EXPECT_FALSE(ParseBmpTexture(Bmp(20000, 1, 24, 64), t));
  EXPECT_FALSE(ParseBmpTexture(Bmp(1, 1, 24, 4).substr(0, 40), t));
  std::string notBmp = Bmp(1, 1, 24, 4);
  notBmp[0] = 'X';
  EXPECT_FALSE(ParseBmpTexture(notBmp, t));
  std::string offset = Bmp(1, 1, 24, 4);
  offset[10] = '\xF0';  // pixel data behind the end
  EXPECT_FALSE(ParseBmpTexture(offset, t));
  EXPECT_FALSE(ParseBmpTexture("", t));
}

// --- Sprites --------------------------------------------------------------------

SpriteRecord Sprite() {
  uint8_t bytes[kSpriteSize] = {};
  std::memcpy(bytes, "cuboid", 6);
  SpriteRecord s = UnpackSprite(bytes);
  for (int i = 0; i < 3; ++i) s.max[i] = 10, s.min[i] = -10;
  return s;
}

TEST(SpriteMotion, PackedLayoutRoundTrips) {
  uint8_t bytes[kSpriteSize];
  std::memset(bytes, 0, sizeof bytes);
  std::memset(bytes, 'A', 40);  // a name without its 0 stops at 32 characters
  SpriteRecord s = UnpackSprite(bytes);
  EXPECT_EQ(s.typ, std::string(32, 'A'));
  s.pos[1] = 2.5, s.colour[3] = 0.5, s.dTick = -1, s.textureRepeat = 3, s.b = 7, s.pathData = 9;
  PackSprite(s, bytes);
  double d;
  std::memcpy(&d, bytes + 41, 8);
  EXPECT_EQ(d, 2.5);
  std::memcpy(&d, bytes + 201, 8);
  EXPECT_EQ(d, 0.5);
  int32_t i;
  std::memcpy(&i, bytes + 213, 4);
  EXPECT_EQ(i, -1);
  std::memcpy(&d, bytes + 265, 8);
  EXPECT_EQ(d, 7);
  std::memcpy(&i, bytes + 273, 4);
  EXPECT_EQ(i, 9);
  EXPECT_EQ(bytes[32], 'A');  // the name bytes are left as they were
}

TEST(SpriteMotion, FirstDrawingOnlyStartsTheClock) {
  SpriteRecord s = Sprite();
  s.dTick = 100, s.vel[0] = 1;
  StepSprite(s, 5000);
  EXPECT_EQ(s.pos[0], 0);
  EXPECT_EQ(s.lastTick, 5000);
  StepSprite(s, 5250);  // 250 ms at one unit per 100 ms
  EXPECT_DOUBLE_EQ(s.pos[0], 2.5);
}

TEST(SpriteMotion, ZeroAndNegativeTimeUnits) {
  SpriteRecord s = Sprite();
  s.lastTick = 1, s.vel[1] = 3, s.spin[2] = 5;
  StepSprite(s, 900);
  EXPECT_EQ(s.pos[1], 0);
  EXPECT_EQ(s.lastTick, 900);
  s.dTick = -1;
  StepSprite(s, 900000);
  EXPECT_EQ(s.pos[1], 3);
  EXPECT_EQ(s.rot[2], 5);
}

TEST(SpriteMotion, TickWrapAroundMovesByTheRealDifference) {
  SpriteRecord s = Sprite();
  s.dTick = 10, s.vel[2] = 1;
  s.lastTick = static_cast<int32_t>(0xFFFFFFF6u);  // 10 ms before the wrap
  StepSprite(s, 10);
  EXPECT_DOUBLE_EQ(s.pos[2], 2);
}

TEST(SpriteMotion, BoxModes) {
  SpriteRecord s = Sprite();
  s.dTick = -1, s.lastTick = 1, s.pos[0] = 9, s.vel[0] = 2, s.mode = 1;
  StepSprite(s, 2);
  EXPECT_EQ(s.pos[0], 10);
  EXPECT_EQ(s.vel[0], -2);
  s.pos[1] = -9.5, s.vel[1] = -1;
  StepSprite(s, 3);
  EXPECT_EQ(s.pos[1], -10);
  EXPECT_EQ(s.vel[1], 1);
  SpriteRecord w = Sprite();
  w.dTick = -1, w.lastTick = 1, w.pos[0] = 9, w.vel[0] = 2, w.mode = 3;
  StepSprite(w, 2);
  EXPECT_EQ(w.pos[0], -10);
  SpriteRecord stop = Sprite();
  stop.dTick = -1, stop.lastTick = 1, stop.pos[0] = -9, stop.vel[0] = -5, stop.mode = 2;
  StepSprite(stop, 2);
  EXPECT_EQ(stop.pos[0], -10);
  EXPECT_EQ(stop.vel[0], -5);
  SpriteRecord free = Sprite();
  free.dTick = -1, free.lastTick = 1, free.pos[0] = 9, free.vel[0] = 5, free.mode = 0;
  StepSprite(free, 2);
  EXPECT_EQ(free.pos[0], 14);
}

TEST(SpriteMotion, RotationIsCorrectedOnce) {
  const double cases[][2] = {{350, 10}, {-50, 330}, {705, 365}, {0, 20}};
  for (const auto& c : cases) {
    SpriteRecord s = Sprite();
    s.dTick = -1, s.lastTick = 1, s.rot[0] = c[0], s.spin[0] = 20;
    StepSprite(s, 2);
    EXPECT_EQ(s.rot[0], c[1]) << c[0];
  }
}

TEST(SpriteMotion, RoundingToTheNearestInteger) {
  EXPECT_EQ(RoundToInt(2.5), 3);
  EXPECT_EQ(RoundToInt(-2.5), -3);
  EXPECT_EQ(RoundToInt(7.4), 7);
  EXPECT_EQ(RoundToInt(1e30), 2147483647);
}

// --- Hit records -------------------------------------------------------------------

TEST(HitRecords, NearestByMinimumDepthUnsignedFirstOnTies) {
  const uint32_t buf[] = {1, 0x80000000u, 0, 4, 1, 0x7FFFFFFFu, 0, 5, 1, 0x7FFFFFFFu, 0, 6};
  EXPECT_EQ(NearestHit(buf, 12, 3), 5);
  EXPECT_EQ(NearestHit(buf, 12, 1), 4);
  EXPECT_EQ(NearestHit(buf, 12, 0), -1);
  EXPECT_EQ(NearestHit(buf, 12, -1), -1);
}

TEST(HitRecords, RecordsAreReadByTheirNameCountsWithinTheBuffer) {
  // A record with two names (first name counts), one without, one cut short.
  const uint32_t buf[] = {2, 50, 60, 11, 12, 0, 10, 20, 1, 5, 6};
  EXPECT_EQ(NearestHit(buf, 11, 3), 11);
  EXPECT_EQ(NearestHit(buf, 10, 3), 11);  // the third record no longer fits
  const uint32_t huge[] = {1000000, 1, 2, 3};
  EXPECT_EQ(NearestHit(huge, 4, 1), -1);
}

}  // namespace
}  // namespace korv
