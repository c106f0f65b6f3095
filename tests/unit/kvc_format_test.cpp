// The compiled program format: header bytes, records, protection, the
// reader's image and every reader failure.
#include "core/kvc_format.h"

#include <gtest/gtest.h>

#include <deque>

namespace korv::kvc {
namespace {

// A random source that hands out the given values in order.
RandomSource Fixed(std::deque<uint32_t> values) {
  auto q = std::make_shared<std::deque<uint32_t>>(std::move(values));
  return [q](uint32_t bound) {
    uint32_t v = q->empty() ? 0 : q->front();
    if (!q->empty()) q->pop_front();
    return v % bound;
  };
}

std::string Bytes(std::initializer_list<int> b) {
  std::string s;
  for (int c : b) s.push_back(static_cast<char>(c));
  return s;
}

TEST(KvcHeaderTest, UnprotectedHeaderIsBlankedAndEndsWithZero) {
  std::string h = MakeHeader(false, Fixed({}));
  EXPECT_EQ(h, std::string(" QTV-TELMARD DATEI\x1A") + std::string(12, ' ') + std::string(1, '\0'));
  EXPECT_EQ(h.size(), 32u);
  EXPECT_EQ(MaskByte(h), 0);
  EXPECT_FALSE(IsProtectedHeader(h));
}

TEST(KvcHeaderTest, ProtectedHeaderCarriesRandomBytesAndSelectors) {
  // R0..R6 = 1, 2, 4, 8, 16, 32, 64; S0..S3 = 0, 1, 2, 3.
  std::string h = MakeHeader(true, Fixed({1, 2, 4, 8, 16, 32, 64, 0, 1, 2, 3}));
  EXPECT_EQ(h.substr(0, 19), std::string(" QTV-TELMARD DATEI\x1A"));
  EXPECT_EQ(h.substr(19, 7), Bytes({1, 2, 4, 8, 16, 32, 64}));
  EXPECT_EQ(h.substr(26, 4), Bytes({0, 1, 2, 3}));
  EXPECT_EQ(h[30], ' ');
  EXPECT_EQ(h[31], '\0');
  // X = (R[S1] | R[S3]) & (R[S0] | R[S2]) = (2 | 8) & (1 | 4) = 0.
  EXPECT_EQ(MaskByte(h), 0);
  h = MakeHeader(true, Fixed({0xF0, 0x0F, 0x3C, 0xC3, 0, 0, 0, 3, 0, 2, 1}));
  // (R0 | R1) & (R3 | R2) = 0xFF & 0xFF.
  EXPECT_EQ(MaskByte(h), 0xFF);
}

TEST(KvcHeaderTest, BlankBytes20And21AreDrawnAgain) {
  // The first draw puts blanks in bytes 20 and 21 (R1, R2).
  std::string h = MakeHeader(true, Fixed({7, 32, 32, 0, 0, 0, 0, 0, 0, 0, 0,
                                          7, 33, 32, 0, 0, 0, 0, 1, 1, 1, 1}));
  EXPECT_TRUE(IsProtectedHeader(h));
  EXPECT_EQ(h.substr(19, 3), Bytes({7, 33, 32}));
  EXPECT_EQ(h.substr(26, 4), Bytes({1, 1, 1, 1}));
}

TEST(KvcRecordTest, RecordsAreLengthPrefixedAndScrambled) {
  EXPECT_EQ(EncodeRecord(Bytes({39}), false, 0), Bytes({1, 0, 39}));
  std::string body(300, 'x');
  EXPECT_EQ(EncodeRecord(body, false, 0).substr(0, 2), Bytes({44, 1}));
  // Protected: key bytes, then X.
  std::string rec = EncodeRecord("\xA2" "AB", true, 0x0F);
  EXPECT_EQ(rec, Bytes({3, 0, (0xA2 ^ 'M') ^ 0x0F, ('A' ^ 'p') ^ 0x0F, ('B' ^ 'R') ^ 0x0F}));
  // The key runs over eleven bytes, the last two being Latin-1 letters.
  std::string twelve(12, '\0');
  std::string keyed = EncodeRecord(twelve, true, 0).substr(2);
  EXPECT_EQ(keyed, std::string("MpRtZkWnQ\xFC\xD6M"));
}

TEST(KvcReadTest, WriteReadRoundTripUnprotectedAndProtected) {
  std::vector<std::string> bodies = {Bytes({39}), Bytes({80, 5, 0, 0, 0}), "\xA2\"x\"",
                                     Bytes({80, 7, 0, 0, 0}), Bytes({2}), "never"};
  for (bool protect : {false, true}) {
    std::string file = EncodeProgram(bodies, protect, Fixed({9, 200, 77, 3, 5, 6, 250, 6, 5, 4, 3}));
    Image img;
    ReadResult r = ReadProgram(file, 0, img);
    ASSERT_EQ(r.status, ReadStatus::Ok) << protect;
    EXPECT_EQ(img.protect, protect);
    ASSERT_EQ(img.Length(), 5);  // nothing behind PROGEND
    for (int32_t i = 1; i <= 5; ++i) EXPECT_EQ(img.Fetch(i), bodies[static_cast<size_t>(i - 1)]);
    // Protected statements stay key-scrambled as read, until descrambled.
    EXPECT_EQ(img.lines[3] == bodies[2], !protect);
    EXPECT_EQ(img.scrambled, protect);
    Image plain = img;
    plain.Descramble();
    EXPECT_FALSE(plain.scrambled);
    std::string scratch;
    for (int32_t i = 1; i <= 5; ++i) {
      EXPECT_EQ(plain.lines[static_cast<size_t>(i)], bodies[static_cast<size_t>(i - 1)]);
      EXPECT_EQ(plain.Fetch(i), img.Fetch(i));
      EXPECT_EQ(&plain.Fetch(i, scratch), &plain.lines[static_cast<size_t>(i)]);  // no copy
    }
    EXPECT_EQ(img.errorProcSlot, 2);  // the first ERRORPROC
    EXPECT_EQ(img.dataPosition, file.size());
  }
}

TEST(KvcReadTest, ReadsAtAnOffsetAndStopsAtProgend) {
  std::string prog = EncodeProgram({Bytes({162, '1'}), Bytes({2})}, false, Fixed({}));
  std::string data = std::string(100, 'Z') + prog + Bytes({5, 0, 1, 2});
  Image img;
  ASSERT_EQ(ReadProgram(data, 100, img).status, ReadStatus::Ok);
  EXPECT_EQ(img.Length(), 2);
  EXPECT_EQ(img.dataPosition, 100 + prog.size());  // behind the PROGEND record
}

TEST(KvcReadTest, EmptyRecordsAndTheLeadingMarkerByte) {
  std::string file = MakeHeader(false, Fixed({})) + Bytes({0, 0}) + Bytes({2, 0, 0x15, 80});
  Image img;
  ASSERT_EQ(ReadProgram(file, 0, img).status, ReadStatus::Ok);
  ASSERT_EQ(img.Length(), 2);
  EXPECT_EQ(img.Fetch(1), "");
  EXPECT_EQ(img.Fetch(2), Bytes({80}));  // 0x15 removed, then seen as ERRORPROC
  EXPECT_EQ(img.errorProcSlot, 2);
}

TEST(KvcReadTest, EveryReaderFailure) {
  Image img;
  // Short header: the caption shows the bytes that were read.
  ReadResult r = ReadProgram(" QTV-TEL", 0, img);
  EXPECT_EQ(r.status, ReadStatus::NotKorvid);
  EXPECT_EQ(r.message, 905);
  EXPECT_EQ(r.caption, "QTV-TEL");
  r = ReadProgram(std::string(40, 'x'), 0, img);
  EXPECT_EQ(r.message, 905);
  EXPECT_EQ(r.caption, std::string(10, 'x'));

  std::string good = MakeHeader(false, Fixed({}));
  std::string wrong = good;
  wrong[11] = 'X';
  r = ReadProgram(wrong, 0, img);
  EXPECT_EQ(r.status, ReadStatus::WrongVersion);
  EXPECT_EQ(r.message, 916);
  EXPECT_EQ(r.caption, "QTV-TELMAR");

  std::string damaged = MakeHeader(true, Fixed({1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3}));
  damaged[28] = 7;  // a selector beyond 0..6
  r = ReadProgram(damaged, 0, img);
  EXPECT_EQ(r.status, ReadStatus::Damaged);
  EXPECT_EQ(r.message, 906);

  r = ReadProgram(good + Bytes({5, 0, 1, 2}), 0, img);  // record cut short
  EXPECT_EQ(r.message, 906);
  r = ReadProgram(good + Bytes({5}), 0, img);  // length cut short
  EXPECT_EQ(r.message, 906);

  std::string longRecord = good + Bytes({0x00, 0x80}) + std::string(0x8000, 'a');
  r = ReadProgram(longRecord, 0, img);
  EXPECT_EQ(r.status, ReadStatus::LineTooLong);
  EXPECT_EQ(r.message, 902);

  std::string many = good;
  for (int i = 0; i < kMaxStatements; ++i) many += Bytes({1, 0, 39});
  r = ReadProgram(many, 0, img);
  ASSERT_EQ(r.status, ReadStatus::Ok);
  EXPECT_EQ(img.Length(), kMaxStatements);
  r = ReadProgram(many + Bytes({1, 0, 39}), 0, img);
  EXPECT_EQ(r.status, ReadStatus::TooManyLines);
  EXPECT_EQ(r.message, 901);
  EXPECT_EQ(r.caption, "Korvid");
  EXPECT_EQ(img.Length(), 0);  // nothing of a failed program is kept
}

}  // namespace
}  // namespace korv::kvc
