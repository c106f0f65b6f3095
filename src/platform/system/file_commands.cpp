// Statements and functions on file channels, file names, directories, INI
// files and the clipboard. The channels themselves live in file_channels.cpp;
// the registry and the clipboard come from the Windows build through hooks.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "base/text.h"
#include "base/names.h"
#include "base/errors.h"
#include "base/host.h"
#include "graphics/text_screen.h"
#include "system/file_channels.h"
#include "system/ini_file.h"
#include "values/areas.h"
#include "values/evaluator.h"
#include "values/functions_support.h"

#ifdef _WIN32
#include <direct.h>
#endif

namespace korv {

namespace fs = std::filesystem;

namespace {

SystemStoreHooks gHooks;

constexpr size_t kMaxIniValue = 32767;

// --- argument helpers -------------------------------------------------------------

// A channel number may be written with a leading "#".
void SkipHash() {
  SkipArgumentBlanks();
  if (gEval.pos < gEval.text.size() && gEval.text[gEval.pos] == '#') ++gEval.pos;
}

// The channel of a statement: 0 after a report (210 outside 1..99).
int ChannelStmt(TParStack& ps, char terminator) {
  SkipHash();
  int32_t n = EvalInt(ps, terminator);
  if (gEval.failed) return 0;
  if (!files::ValidChannel(n)) {
    RaiseError(210);
    return 0;
  }
  return n;
}

// The channel of a function: 0 after a report, the result then is empty.
int ChannelFn(TParStack& ps, bool last, uint8_t resultKind) {
  SkipHash();
  int32_t n = 0;
  if (!fn::IntArg(ps, last, n)) return 0;
  if (!files::ValidChannel(n)) {
    fn::Fail(210, resultKind);
    return 0;
  }
  return n;
}

// Evaluates a piece of the argument text on its own; the statement's
// remaining text is used up afterwards.
bool EvalPiece(TParStack& ps, const std::string& piece) {
  std::string saved = gEval.text;
  gEval.SetText(piece);
  Evaluate(ps, ' ', 0);
  bool ok = !gEval.failed;
  gEval.text = saved;
  gEval.pos = gEval.text.size();
  gEval.endOfArgs = true;
  return ok;
}

std::string TakeRest() {
  std::string rest = gEval.Rest();
  gEval.pos = gEval.text.size();
  gEval.endOfArgs = true;
  return rest;
}

// A file argument that may also be a channel number (ERASE, GETFATTR, ...).
// Returns false after a report.
bool FileOrChannel(const TEvalResult& r, std::string& name, uint8_t resultKind, bool fnContext) {
  if (r.ResultKind == kind::kString) {
    name = r.StrValue;
    return true;
  }
  if (!files::ValidChannel(r.IntValue)) {
    if (fnContext)
      fn::Fail(210, resultKind);
    else
      RaiseError(210);
    return false;
  }
  name = files::Name(r.IntValue);
  return true;
}

int32_t CodeOf(const std::error_code& ec) {
  return files::SystemCodeOfErrno(ec.default_error_condition().value());
}

// Directory names lose a trailing backslash unless they name a drive root.
std::string DirArgument(std::string dir) {
  if (dir.size() > 1 && (dir.back() == '\\' || dir.back() == '/') &&
      !(dir.size() == 3 && dir[1] == ':'))
    dir.pop_back();
  return dir;
}

bool StatFile(const std::string& name, struct stat& st) {
  return !name.empty() && ::stat(name.c_str(), &st) == 0;
}

std::string Two(int v) {
  std::string s = std::to_string(v);
  return s.size() < 2 ? "0" + s : s;
}

// Wildcard match of a file name ("*" and "?"), case-insensitive.
bool MatchMask(std::string_view mask, std::string_view name) {
  size_t m = 0, n = 0, starM = std::string::npos, starN = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || UpperChar(mask[m]) == UpperChar(name[n]))) {
      ++m;
      ++n;
    } else if (m < mask.size() && mask[m] == '*') {
      starM = m++;
      starN = n;
    } else if (starM != std::string::npos) {
      m = starM + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (m < mask.size() && (mask[m] == '*' || (mask[m] == '.' && m + 1 == mask.size()))) ++m;
  return m == mask.size();
}

// --- directory search ---------------------------------------------------------------

struct Search {
  bool open = false;
  std::vector<std::string> names;  // results still to give
  size_t next = 0;
} gSearch;

void StartSearch(const std::string& mask) {
  gSearch = Search{};
  gSearch.open = true;
  std::string dir = ".";
  std::string pattern = mask;
  size_t cut = mask.find_last_of("\\/:");
  if (cut != std::string::npos) {
    dir = mask.substr(0, cut + 1);
    pattern = mask.substr(cut + 1);
    if (dir.size() > 1 && (dir.back() == '\\' || dir.back() == '/') && dir[dir.size() - 2] != ':')
      dir.pop_back();
  }
  if (pattern.empty()) return;
  std::error_code ec;
  std::vector<std::pair<std::string, bool>> found;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (!MatchMask(pattern, name)) continue;
    std::error_code e2;
    found.emplace_back(name, it->is_directory(e2));
  }
  std::sort(found.begin(), found.end());
  for (auto& [name, isDir] : found) gSearch.names.push_back(isDir ? "[" + name + "]" : name);
}

void NextFound() {
  if (gSearch.next < gSearch.names.size()) {
    fn::SetString(gSearch.names[gSearch.next++]);
    return;
  }
  gSearch.open = false;
  files::SetSearchCode(files::kNoMoreFiles);
  fn::SetString("");
}

// --- channel statements -------------------------------------------------------------

void CmdAssign(TParStack& ps) {
  int ch = ChannelStmt(ps, ',');
  if (ch == 0) return;
  std::string name = EvalString(ps, ' ');
  if (gEval.failed) return;
  files::Assign(ch, Trim(name));
}

template <void (*Op)(int)>
void CmdChannelOnly(TParStack& ps) {
  int ch = ChannelStmt(ps, ' ');
  if (ch == 0) return;
  Op(ch);
}

void CmdSeek(TParStack& ps) {
  int ch = ChannelStmt(ps, ',');
  if (ch == 0) return;
  int32_t pos = EvalInt(ps, ' ');
  if (gEval.failed) return;
  files::Seek(ch, pos);
}

template <int Bytes>
void CmdPutNumber(TParStack& ps) {
  int ch = ChannelStmt(ps, ',');
  if (ch == 0) return;
  int32_t v = EvalInt(ps, ' ');
  if (gEval.failed) return;
  const uint32_t u = static_cast<uint32_t>(v);
  unsigned char b[4] = {static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8),
                        static_cast<unsigned char>(u >> 16), static_cast<unsigned char>(u >> 24)};
  files::PutBytes(ch, b, Bytes);
}

void CmdPutChar(TParStack& ps) {
  int ch = ChannelStmt(ps, ',');
  if (ch == 0) return;
  std::string s = EvalString(ps, ' ');
  if (gEval.failed) return;
  files::PutBytes(ch, s.data(), s.size());
}

void CmdRename(TParStack& ps) {
  int ch = ChannelStmt(ps, ',');
  if (ch == 0) return;
  std::string name = EvalString(ps, ' ');
  if (gEval.failed) return;
  files::Rename(ch, Trim(name));
}

// --- file-name statements -------------------------------------------------------------

void CmdErase(TParStack& ps) {
  Evaluate(ps, ' ', 0);
  if (gEval.failed) return;
  std::string name;
  if (!FileOrChannel(gRes, name, kind::kNone, false)) return;
  if (name.empty()) {
    files::SetIoResult(files::kIoNotAssigned);
    return;
  }
  errno = 0;
  if (std::remove(name.c_str()) != 0) files::SetIoResult(files::SystemCodeOfErrno(errno));
}

void CmdSetFAttr(TParStack& ps) {
  Evaluate(ps, ',', 0);
  if (gEval.failed) return;
  std::string name;
  if (!FileOrChannel(gRes, name, kind::kNone, false)) return;
  int32_t attr = EvalInt(ps, ' ');
  if (gEval.failed) return;
  std::error_code ec;
  if (name.empty() || !fs::exists(name, ec)) {
    RaiseError(300, name);
    return;
  }
  // Attribute 1 (read-only) maps to the write permissions.
  fs::permissions(name, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  (attr & 1) ? fs::perm_options::remove : fs::perm_options::add, ec);
  if (ec) files::SetIoResult(CodeOf(ec));
}

void CmdCopy(TParStack& ps) {
  std::string rest = TakeRest();
  size_t gt = FindTopLevel(rest, '>', gCompiledText);
  if (gt == std::string::npos) {
    RaiseError(212);
    return;
  }
  if (!EvalPiece(ps, rest.substr(0, gt))) return;
  std::string source = Trim(gRes.StrValue);
  if (!EvalPiece(ps, rest.substr(gt + 1))) return;
  std::string dest = Trim(gRes.StrValue);
  std::ifstream in(source, std::ios::binary);
  if (!in) {
    RaiseError(308, source);
    return;
  }
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    RaiseError(308, source);
    return;
  }
  std::ofstream out(dest, std::ios::binary | std::ios::trunc);
  if (!out || !out.write(data.data(), static_cast<std::streamsize>(data.size())) || !out.flush()) {
    RaiseError(308, source);
    return;
  }
}

template <int Which>  // 0 CHDIR, 1 MKDIR, 2 RMDIR
void CmdDir(TParStack& ps) {
  std::string dir = EvalString(ps, ' ');
  if (gEval.failed) return;
  dir = DirArgument(Trim(dir));
  if (dir.empty()) return;  // nothing to act on
  std::error_code ec;
  if (Which == 0) {
    fs::current_path(dir, ec);
  } else if (Which == 1) {
    if (fs::is_directory(dir, ec)) return;
    fs::create_directory(dir, ec);
  } else {
    if (!fs::is_directory(dir, ec)) {
      files::SetIoResult(3);
      return;
    }
    fs::remove(dir, ec);
  }
  if (ec) files::SetIoResult(CodeOf(ec));
}

// --- INI files and the registry ----------------------------------------------------------

bool IsRegistryName(const std::string& file) { return StartsWith(Upper(file), "HKEY_"); }

std::string ReadFileText(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void CmdWriteIni(TParStack& ps) {
  std::string file = EvalString(ps, ',');
  if (gEval.failed) return;
  std::string section = EvalString(ps, ',');
  if (gEval.failed) return;
  std::string rest = TakeRest();
  size_t eq = FindTopLevel(rest, '=', gCompiledText);
  if (eq == std::string::npos) {
    RaiseError(212);
    return;
  }
  if (!EvalPiece(ps, rest.substr(0, eq))) return;
  std::string key = gRes.StrValue;
  if (!EvalPiece(ps, rest.substr(eq + 1))) return;
  TEvalResult value = gRes;
  if (value.ResultKind == kind::kInt || value.ResultKind == kind::kLong)
    value.StrValue = std::to_string(value.IntValue);
  else if (value.ResultKind == kind::kFloat)
    value.StrValue = Trim(FloatToText(value.FloatValue));
  file = Trim(file);
  if (IsRegistryName(file)) {
    if (gHooks.writeRegistry) gHooks.writeRegistry(file, section, key, value.StrValue, value.IntValue);
    return;
  }
  std::string text = ReadFileText(file);
  std::string updated = ini::WriteValue(text, section, key, value.StrValue);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out || !out.write(updated.data(), static_cast<std::streamsize>(updated.size())) ||
      !out.flush()) {
    RaiseWarning(303, file);
  }
}

void FnReadIni(TParStack& ps) {
  std::string file, section, key;
  if (!fn::StrArg(ps, false, file) || !fn::StrArg(ps, false, section) ||
      !fn::StrArg(ps, true, key))
    return;
  file = Trim(file);
  if (IsRegistryName(file)) {
    std::string out;
    if (gHooks.readRegistry && !gHooks.readRegistry(file, section, key, out)) {
      fn::SetEmpty(kind::kString);
      return;
    }
    fn::SetString(out);
    return;
  }
  std::string v = ini::ReadValue(ReadFileText(file), section, key);
  if (v.size() > kMaxIniValue) v.resize(kMaxIniValue);
  fn::SetString(v);
}

// --- clipboard -------------------------------------------------------------------------

void CmdClearClip(TParStack&) {
  TakeRest();
  if (gHooks.clearClip) gHooks.clearClip();
}

void CmdPutClip(TParStack& ps) {
  std::string text = EvalString(ps, ' ');
  if (gEval.failed) return;
  if (gHooks.putClip) gHooks.putClip(text);
}

void FnGetClip(TParStack&) {
  fn::NoArgs();
  fn::SetString(gHooks.getClip ? gHooks.getClip() : std::string());
}

// --- BLOCKREAD / BLOCKWRITE ---------------------------------------------------------

// The shared argument part: channel or file, area, offset, count. Returns
// false after a report.
struct BlockArgs {
  int channel = 0;
  std::string file;
  unsigned char* data = nullptr;
  int32_t count = 0;
};

bool ReadBlockArgs(TParStack& ps, bool function, bool write, BlockArgs& b) {
  SkipArgumentBlanks();
  bool hash = gEval.pos < gEval.text.size() && gEval.text[gEval.pos] == '#';
  if (hash) ++gEval.pos;
  Evaluate(ps, ',', 0);
  if (gEval.failed) return false;
  if (!hash && gRes.ResultKind == kind::kString) {
    b.file = Trim(gRes.StrValue);
  } else {
    b.channel = gRes.IntValue;
    if (!files::ValidChannel(b.channel)) {
      RaiseError(210);
      return false;
    }
  }
  std::string rest = gEval.Rest();
  size_t comma = FindTopLevel(rest, ',', gCompiledText);
  std::string name = Upper(Trim(std::string_view(rest).substr(0, comma)));
  if (comma == std::string::npos) {
    gEval.pos = gEval.text.size();
    RaiseError(212);
    return false;
  }
  gEval.pos += comma + 1;
  int32_t offset = 0, count = 0;
  if (function) {
    if (!fn::IntArg(ps, false, offset) || !fn::IntArg(ps, true, count)) return false;
  } else {
    offset = EvalInt(ps, ',');
    if (gEval.failed) return false;
    count = EvalInt(ps, ' ');
    if (gEval.failed) return false;
  }
  if (!IsAreaName(name)) {
    RaiseError(121, name);
    return false;
  }
  AreaRef ref;
  switch (ResolveArea(name, ps, ref)) {
    case AreaLookup::Ok: break;
    case AreaLookup::Failed: return false;
    case AreaLookup::Unknown: RaiseError(215, name); return false;
    case AreaLookup::NotArea: RaiseError(121, name); return false;
  }
  TAreaFields& a = *ref.area;
  if (offset < 0 || count < 0 ||
      static_cast<int64_t>(offset) + static_cast<int64_t>(count) > static_cast<int64_t>(a.Size)) {
    RaiseError(207, name);
    return false;
  }
  if (a.Address == nullptr) {
    if (count == 0) return true;
    RaiseError(243);
    return false;
  }
  if (!CheckRange(a.Address, offset, count, a.Size, write, name)) return false;
  b.data = static_cast<unsigned char*>(a.Address) + offset;
  b.count = count;
  return true;
}

void CmdBlockWrite(TParStack& ps) {
  BlockArgs b;
  if (!ReadBlockArgs(ps, false, false, b)) return;
  if (b.channel != 0) {
    files::PutBytes(b.channel, b.data, static_cast<size_t>(b.count));
    return;
  }
  std::FILE* f = std::fopen(b.file.c_str(), "wb");
  if (f == nullptr) {
    RaiseError(301, b.file);
    return;
  }
  bool ok = b.count == 0 || std::fwrite(b.data, 1, static_cast<size_t>(b.count), f) ==
                                static_cast<size_t>(b.count);
  ok = std::fclose(f) == 0 && ok;
  if (!ok) RaiseError(303, b.file);
}

void FnBlockRead(TParStack& ps) {
  BlockArgs b;
  if (!ReadBlockArgs(ps, true, true, b)) {
    fn::SetEmpty(kind::kInt);
    return;
  }
  size_t got = 0;
  if (b.channel != 0) {
    got = files::GetBytes(b.channel, b.data, static_cast<size_t>(b.count));
  } else {
    std::FILE* f = std::fopen(b.file.c_str(), "rb");
    if (f == nullptr) {
      fn::Fail(300, kind::kInt, b.file);
      return;
    }
    got = b.count == 0 ? 0 : std::fread(b.data, 1, static_cast<size_t>(b.count), f);
    bool bad = std::ferror(f) != 0;
    std::fclose(f);
    if (bad) {
      fn::Fail(302, kind::kInt, b.file);
      return;
    }
  }
  fn::SetInt(static_cast<int32_t>(got));
}

// --- channel functions ------------------------------------------------------------------

void FnAssign(TParStack& ps) {
  std::string name;
  if (!fn::StrArg(ps, true, name)) return;
  name = Trim(name);
  int ch = files::AssignFree(name);
  if (ch == 0) {
    fn::Fail(310, kind::kInt, name);
    return;
  }
  fn::SetInt(ch);
}

template <int Bytes>
void FnGetNumber(TParStack& ps) {
  int ch = ChannelFn(ps, true, kind::kInt);
  if (ch == 0) return;
  unsigned char b[4] = {0, 0, 0, 0};
  size_t got = files::GetBytes(ch, b, Bytes);
  if (got < static_cast<size_t>(Bytes)) {
    if (files::PeekIoResult() == 0) files::SetIoResult(files::kIoReadPastEnd);
    fn::SetInt(0);
    return;
  }
  uint32_t v = b[0] | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
  fn::SetInt(static_cast<int32_t>(v));
}

void FnGetChar(TParStack& ps) {
  int ch = ChannelFn(ps, false, kind::kString);
  if (ch == 0) return;
  int32_t count = 0;
  if (!fn::IntArg(ps, true, count)) return;
  if (count <= 0) {
    fn::SetString("");
    return;
  }
  // Never more than the rest of the file.
  int64_t size = files::Size(ch), pos = files::Position(ch);
  int64_t room = size >= 0 && pos >= 0 ? std::max<int64_t>(0, size - pos) : 0;
  const int64_t wanted = std::min<int64_t>(count, room);
  if (wanted > static_cast<int64_t>(kMaxStringLength)) return fn::Fail(219, kind::kString);
  std::string s(static_cast<size_t>(wanted), '\0');
  size_t got = s.empty() ? 0 : files::GetBytes(ch, s.data(), s.size());
  s.resize(got);
  fn::SetString(s);
}

void FnFilePos(TParStack& ps) {
  int ch = ChannelFn(ps, true, kind::kInt);
  if (ch == 0) return;
  int64_t p = files::Position(ch);
  fn::SetInt(static_cast<int32_t>(std::clamp<int64_t>(p, -1, 0x7FFFFFFF)));
}

void FnGetFileSize(TParStack& ps) {
  int ch = ChannelFn(ps, true, kind::kInt);
  if (ch == 0) return;
  int64_t s = files::Size(ch);
  fn::SetInt(static_cast<int32_t>(std::clamp<int64_t>(s, -1, 0x7FFFFFFF)));
}

void FnEof(TParStack& ps) {
  int ch = ChannelFn(ps, true, kind::kInt);
  if (ch == 0) return;
  fn::SetInt(files::AtEnd(ch) ? 1 : 0);
}

void FnFileName(TParStack& ps) {
  int ch = ChannelFn(ps, true, kind::kString);
  if (ch == 0) return;
  fn::SetString(files::Name(ch));
}

void FnFileStatus(TParStack& ps) {
  int ch = ChannelFn(ps, true, kind::kString);
  if (ch == 0) return;
  fn::SetString(std::string(1, files::State(ch)));
}

// --- file-name functions -----------------------------------------------------------------

void SetSizeResult(double size) {
  fn::SetFloat(size);
  gRes.IntValue = size > 2147483647.0 ? 2147483647 : static_cast<int32_t>(size);
}

void FnFileSize(TParStack& ps) {
  std::string name;
  if (!fn::StrArg(ps, true, name)) return;
  name = Trim(name);
  std::error_code ec;
  fs::file_status st = fs::status(name, ec);
  if (name.empty() || !fs::exists(st)) {
    RaiseWarning(209, name);
    SetSizeResult(-1);
    return;
  }
  if (fs::is_directory(st)) {
    RaiseWarning(209, name);
    SetSizeResult(-2);
    return;
  }
  auto size = fs::file_size(name, ec);
  SetSizeResult(ec ? -1.0 : static_cast<double>(size));
}

void FnFileExists(TParStack& ps) {
  std::string name;
  if (!fn::StrArg(ps, true, name)) return;
  std::error_code ec;
  name = Trim(name);
  fn::SetInt(!name.empty() && fs::exists(name, ec) && !fs::is_directory(name, ec) ? 1 : 0);
}

void FnDirExists(TParStack& ps) {
  std::string name;
  if (!fn::StrArg(ps, true, name)) return;
  std::error_code ec;
  name = DirArgument(Trim(name));
  fn::SetInt(!name.empty() && fs::is_directory(name, ec) ? 1 : 0);
}

void FnFileSearch(TParStack& ps) {
  std::string name, dirs;
  if (!fn::StrArg(ps, false, name) || !fn::StrArg(ps, true, dirs)) return;
  name = Trim(name);
  size_t p = 0;
  while (!name.empty() && p <= dirs.size()) {
    size_t semi = dirs.find(';', p);
    if (semi == std::string::npos) semi = dirs.size();
    std::string dir = Trim(std::string_view(dirs).substr(p, semi - p));
    p = semi + 1;
    if (dir.empty()) continue;
    char last = dir.back();
    std::string full = dir + (last == '\\' || last == '/' || last == ':' ? "" : "\\") + name;
#ifndef _WIN32
    std::replace(full.begin(), full.end(), '\\', '/');
#endif
    std::error_code ec;
    if (fs::exists(full, ec) && !fs::is_directory(full, ec)) {
      fn::SetString(full);
      return;
    }
  }
  fn::SetString("");
}

void FnFindFirst(TParStack& ps) {
  std::string mask;
  if (!fn::StrArg(ps, true, mask)) return;
  StartSearch(Trim(mask));  // a search still open is dropped first
  NextFound();
}

void FnFindNext(TParStack&) {
  fn::NoArgs();
  if (!gSearch.open) {
    fn::Fail(311, kind::kString);
    return;
  }
  NextFound();
}

// GETFATTR / GETFDATE$ / GETFTIME$ share the lookup.
bool StatArg(TParStack& ps, uint8_t resultKind, struct stat& st) {
  if (!fn::Arg(ps, true)) return false;
  std::string name;
  if (!FileOrChannel(gRes, name, resultKind, true)) return false;
  name = Trim(name);
  if (!StatFile(name, st)) {
    fn::Fail(300, resultKind, name);
    return false;
  }
  return true;
}

void FnGetFAttr(TParStack& ps) {
  struct stat st {};
  if (!StatArg(ps, kind::kInt, st)) return;
  int32_t attr = 0;
  if (S_ISDIR(st.st_mode)) attr |= 16;
  else attr |= 32;  // archive
  if ((st.st_mode & S_IWUSR) == 0) attr |= 1;
  fn::SetInt(attr);
}

void FnGetFDate(TParStack& ps) {
  struct stat st {};
  if (!StatArg(ps, kind::kString, st)) return;
  std::time_t t = st.st_mtime;
  std::tm tmv = *std::localtime(&t);
  fn::SetString(std::to_string(tmv.tm_year + 1900) + Two(tmv.tm_mon + 1) + Two(tmv.tm_mday));
}

void FnGetFTime(TParStack& ps) {
  struct stat st {};
  if (!StatArg(ps, kind::kString, st)) return;
  std::time_t t = st.st_mtime;
  std::tm tmv = *std::localtime(&t);
  fn::SetString(Two(tmv.tm_hour) + ":" + Two(tmv.tm_min) + ":" + Two(tmv.tm_sec) + ":00");
}

std::string DriveRoot(const std::string& drive) {
  std::string d = Trim(drive);
#ifdef _WIN32
  if (!d.empty()) return std::string(1, d[0]) + ":\\";
  return std::string();
#else
  (void)d;
  return "/";
#endif
}

template <bool Free>
void FnDiskSpace(TParStack& ps) {
  std::string drive;
  if (!fn::StrArg(ps, true, drive)) return;
  std::string root = DriveRoot(drive);
  std::error_code ec;
  fs::space_info si = fs::space(root.empty() ? fs::current_path(ec) : fs::path(root), ec);
  if (ec) {
    files::SetIoResult(CodeOf(ec));
    SetSizeResult(0);
    return;
  }
  SetSizeResult(static_cast<double>(Free ? si.available : si.capacity));
}

void FnGetDir(TParStack& ps) {
  std::string drive;
  if (!fn::StrArg(ps, true, drive)) return;
  drive = Trim(drive);
#ifdef _WIN32
  if (!drive.empty()) {
    char c = UpperChar(drive[0]);
    if (c >= 'A' && c <= 'Z') {
      char* dir = _getdcwd(c - 'A' + 1, nullptr, 0);
      if (dir != nullptr) {
        std::string s = dir;
        std::free(dir);
        fn::SetString(s);
        return;
      }
      files::SetIoResult(15);  // invalid drive
      fn::SetString("");
      return;
    }
  }
#endif
  std::error_code ec;
  fs::path p = fs::current_path(ec);
  fn::SetString(ec ? std::string() : p.string());
}

void SysIoResult(TEvalResult& out) {
  out.Reset();
  out.IntValue = files::TakeIoResult();
  out.FloatValue = out.IntValue;
  out.StrValue = IntToText(out.IntValue);
  out.ResultKind = kind::kInt;
}

// --- PRINT # / INPUT # ---------------------------------------------------------------

bool ChannelPrint(int32_t channel, const std::string& text) {
  files::WriteText(channel, text);
  return true;  // file errors are kept for %IORESULT
}

bool ChannelReadLine(int32_t channel, std::string& line) {
  files::ReadLine(channel, line);
  return true;
}

}  // namespace

void SetSystemStoreHooks(const SystemStoreHooks& hooks) { gHooks = hooks; }

void ResetFileState() {
  files::CloseAll();
  gSearch = Search{};
  AtShutdown([] { files::CloseAll(); });
}

void RegisterFileCommands() {
  SetChannelPrinter(ChannelPrint);
  SetChannelLineReader(ChannelReadLine);

#define KORV_UNIT_files 1
#include "base/bind_unit.h"
#undef KORV_UNIT_files

}

}  // namespace korv
