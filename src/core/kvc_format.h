// The compiled program format: a 32-byte header and one length-prefixed
// record per statement, optionally scrambled; the writer of the compiler and
// the reader of the runtime, which builds the in-memory program image.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace korv::kvc {

constexpr size_t kHeaderSize = 32;
constexpr int32_t kMaxStatements = 262140;
constexpr size_t kMaxBody = 32767;

// The scrambling key, the same in compiler and runtime: "MpRtZkWnQüÖ" as
// eleven Latin-1 bytes.
inline constexpr char kKey[11] = {'M', 'p', 'R', 't', 'Z', 'k', 'W', 'n', 'Q', '\xFC', '\xD6'};

// A source of random bytes for protected headers: returns 0..bound-1.
using RandomSource = std::function<uint32_t(uint32_t bound)>;
// The clock-seeded source the compiler uses.
RandomSource ClockRandom();

// The 32 header bytes. Protected headers get 7 random bytes and 4 random
// selectors (0..6); bytes 20 and 21 are drawn again while both are blanks,
// since a reader would take such a header for an unprotected one.
std::string MakeHeader(bool protect, const RandomSource& random);

// The mask byte X of a header (0 for an unprotected one).
uint8_t MaskByte(std::string_view header);
bool IsProtectedHeader(std::string_view header);

// XOR with the key, starting at key byte 0 (its own inverse).
void KeyScramble(std::string& body);

// One record: the 16-bit length, low byte first, and the body, scrambled
// with the key and then with X when protected.
std::string EncodeRecord(std::string_view body, bool protect, uint8_t mask);

// A whole file from compiled statement bodies (records after the first
// PROGEND statement are not written).
std::string EncodeProgram(const std::vector<std::string>& bodies, bool protect,
                          const RandomSource& random);

// The program image of the runtime.
struct Image {
  std::vector<std::string> lines{std::string()};  // 1-based; key-scrambled while scrambled
  bool protect = false;
  bool scrambled = false;  // as read: true when protected, until Descramble
  int32_t errorProcSlot = 0;  // the first ERRORPROC statement, 0 if none
  uint64_t dataPosition = 0;  // file offset behind the last record read

  int32_t Length() const { return static_cast<int32_t>(lines.size()) - 1; }
  // A descrambled copy of statement n.
  std::string Fetch(int32_t n) const;
  // Statement n without a copy when the lines are plain; otherwise
  // descrambled into scratch.
  const std::string& Fetch(int32_t n, std::string& scratch) const;
  // Descrambles every line once, so that each fetch reads it in place.
  void Descramble();
};

enum class ReadStatus {
  Ok,
  NotKorvid,     // 905 "Keine Korvid-Datei!"
  WrongVersion,  // 916 "Unpassende Runtime-Version!"
  TooManyLines,  // 901 "Zu viele Programm-Zeilen!"
  Damaged,       // 906 "Programmdatei fehlerhaft!"
  LineTooLong,   // 902 "Zeile zu lang (max. 32767 Zeichen)!"
};

struct ReadResult {
  ReadStatus status = ReadStatus::Ok;
  int32_t message = 0;   // the message number of a failure
  std::string caption;   // the caption of its box
};

// Reads a program that starts at offset of data (the whole file's bytes).
// Nothing of a program that fails is kept in image.
ReadResult ReadProgram(std::string_view data, uint64_t offset, Image& image);

}  // namespace korv::kvc
