#include "core/kvc_format.h"

#include <chrono>
#include <memory>
#include <random>

#include "base/code_tables.h"

namespace korv::kvc {

namespace {

constexpr std::string_view kMagic = "QTV-TELMARD";  // header bytes 1..11
constexpr size_t kRandomAt = 19;   // R0..R6
constexpr size_t kSelectorAt = 26;  // S0..S3
constexpr char kCaption[] = "Korvid";

ReadResult Failure(ReadStatus status, int32_t message, std::string caption) {
  return ReadResult{status, message, std::move(caption)};
}

}  // namespace

RandomSource ClockRandom() {
  auto gen = std::make_shared<std::mt19937>(
      static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count() ^
                            std::chrono::system_clock::now().time_since_epoch().count()));
  return [gen](uint32_t bound) { return bound == 0 ? 0u : static_cast<uint32_t>((*gen)() % bound); };
}

std::string MakeHeader(bool protect, const RandomSource& random) {
  std::string h(kHeaderSize, ' ');
  h.replace(1, kMagic.size(), kMagic);
  h.replace(13, 5, "DATEI");
  h[18] = '\x1A';
  h[31] = '\0';
  if (protect) {
    do {
      for (size_t i = 0; i < 7; ++i) h[kRandomAt + i] = static_cast<char>(random(256));
      for (size_t i = 0; i < 4; ++i) h[kSelectorAt + i] = static_cast<char>(random(7));
    } while (h[20] == ' ' && h[21] == ' ');
  }
  return h;
}

bool IsProtectedHeader(std::string_view h) {
  return h.size() >= 22 && !(h[20] == ' ' && h[21] == ' ');
}

uint8_t MaskByte(std::string_view h) {
  if (!IsProtectedHeader(h) || h.size() < kHeaderSize) return 0;
  auto r = [&](size_t selectorIndex) -> uint8_t {
    auto sel = static_cast<uint8_t>(h[kSelectorAt + selectorIndex]);
    if (sel > 6) return 0;  // a damaged header is refused before this is used
    return static_cast<uint8_t>(h[kRandomAt + sel]);
  };
  return static_cast<uint8_t>((r(1) | r(3)) & (r(0) | r(2)));
}

void KeyScramble(std::string& body) {
  size_t k = 0;
  for (char& c : body) {
    c = static_cast<char>(c ^ kKey[k]);
    if (++k == sizeof kKey) k = 0;
  }
}

std::string EncodeRecord(std::string_view body, bool protect, uint8_t mask) {
  std::string b(body);
  if (protect) {
    KeyScramble(b);
    for (char& c : b) c = static_cast<char>(static_cast<uint8_t>(c) ^ mask);
  }
  std::string rec;
  rec.reserve(b.size() + 2);
  rec.push_back(static_cast<char>(b.size() & 0xFF));
  rec.push_back(static_cast<char>((b.size() >> 8) & 0xFF));
  rec += b;
  return rec;
}

std::string EncodeProgram(const std::vector<std::string>& bodies, bool protect,
                          const RandomSource& random) {
  std::string header = MakeHeader(protect, random);
  uint8_t mask = MaskByte(header);
  std::string out = header;
  for (const std::string& b : bodies) {
    out += EncodeRecord(b, protect, mask);
    if (!b.empty() && static_cast<uint8_t>(b[0]) == code::kProgEnd) break;
  }
  return out;
}

std::string Image::Fetch(int32_t n) const {
  if (n < 1 || n > Length()) return std::string();
  std::string s = lines[static_cast<size_t>(n)];
  if (scrambled) KeyScramble(s);
  return s;
}

void Image::Descramble() {
  if (!scrambled) return;
  for (size_t i = 1; i < lines.size(); ++i) KeyScramble(lines[i]);
  scrambled = false;
}

const std::string& Image::Fetch(int32_t n, std::string& scratch) const {
  static const std::string kNone;
  if (n < 1 || n > Length()) return kNone;
  if (!scrambled) return lines[static_cast<size_t>(n)];
  scratch = lines[static_cast<size_t>(n)];
  KeyScramble(scratch);
  return scratch;
}

ReadResult ReadProgram(std::string_view data, uint64_t offset, Image& image) {
  image = Image();
  std::string_view rest = offset <= data.size() ? data.substr(static_cast<size_t>(offset)) : std::string_view();
  std::string_view header = rest.substr(0, kHeaderSize);
  std::string caption(header.substr(header.empty() ? 0 : 1, 10));
  if (header.size() < kHeaderSize || header.substr(1, 10) != kMagic.substr(0, 10))
    return Failure(ReadStatus::NotKorvid, 905, caption);
  const bool protect = IsProtectedHeader(header);
  if (header.substr(1, 11) != kMagic) return Failure(ReadStatus::WrongVersion, 916, caption);
  if (protect) {
    for (size_t i = 0; i < 4; ++i)
      if (static_cast<uint8_t>(header[kSelectorAt + i]) > 6)
        return Failure(ReadStatus::Damaged, 906, kCaption);
  }
  const uint8_t mask = MaskByte(header);

  Image img;
  img.protect = protect;
  img.scrambled = protect;
  size_t pos = kHeaderSize;
  int32_t counter = 0;
  while (pos < rest.size()) {
    if (++counter > kMaxStatements) return Failure(ReadStatus::TooManyLines, 901, kCaption);
    if (rest.size() - pos < 2) return Failure(ReadStatus::Damaged, 906, kCaption);
    size_t len = static_cast<uint8_t>(rest[pos]) | (static_cast<size_t>(static_cast<uint8_t>(rest[pos + 1])) << 8);
    pos += 2;
    if (rest.size() - pos < len) return Failure(ReadStatus::Damaged, 906, kCaption);
    std::string body(rest.substr(pos, len));
    pos += len;
    for (char& c : body) c = static_cast<char>(static_cast<uint8_t>(c) ^ mask);
    if (body.size() > kMaxBody) return Failure(ReadStatus::LineTooLong, 902, kCaption);
    if (protect) KeyScramble(body);
    if (!body.empty() && body[0] == '\x15') body.erase(0, 1);
    const bool progEnd = !body.empty() && static_cast<uint8_t>(body[0]) == code::kProgEnd;
    if (!body.empty() && static_cast<uint8_t>(body[0]) == code::kErrorProc && img.errorProcSlot == 0)
      img.errorProcSlot = counter;
    if (protect) KeyScramble(body);
    img.lines.push_back(std::move(body));
    if (progEnd) break;
  }
  img.dataPosition = offset + pos;
  image = std::move(img);
  return ReadResult{};
}

}  // namespace korv::kvc
