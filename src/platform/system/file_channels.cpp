#include "system/file_channels.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <stdexcept>
#include <sys/stat.h>

#include "values/set_get.h"
#include "values/value.h"

namespace korv::files {

namespace {

struct Channel {
  std::string name;
  std::FILE* file = nullptr;
  char state = ' ';
  bool lastWrite = false;  // the last access wrote (a switch needs a seek)
  bool lastRead = false;
};

std::array<Channel, kLastChannel + 1> gChannels;
int32_t gIoResult = 0;
int32_t gSearchCode = 0;
const std::string kEmpty;

void FailErrno() { gIoResult = SystemCodeOfErrno(errno); }

void CloseFile(Channel& c) {
  if (c.file != nullptr) {
    if (std::fclose(c.file) != 0 && gIoResult == 0) FailErrno();
    c.file = nullptr;
  }
  c.lastWrite = c.lastRead = false;
}

// An open channel is closed before it is opened again; returns false (and
// sets the error state) when the channel has no name.
bool PrepareOpen(Channel& c) {
  if (c.state == 'R' || c.state == 'W' || c.state == 'A' || c.state == 'O') {
    CloseFile(c);
    c.state = '*';
  }
  if (c.name.empty()) {
    gIoResult = kIoNotAssigned;
    return false;
  }
  return true;
}

bool OpenWith(Channel& c, const char* mode, char state) {
  errno = 0;
  c.file = std::fopen(c.name.c_str(), mode);
  if (c.file == nullptr) {
    FailErrno();
    if (gIoResult == 0) gIoResult = 2;
    return false;
  }
  c.state = state;
  return true;
}

bool FileExistsPlain(const std::string& name) {
  struct stat st {};
  return ::stat(name.c_str(), &st) == 0;
}

// Switching between reading and writing on one stream needs a positioning
// call in between.
void BeforeRead(Channel& c) {
  if (c.lastWrite) std::fseek(c.file, 0, SEEK_CUR);
  c.lastWrite = false;
  c.lastRead = true;
}
void BeforeWrite(Channel& c) {
  if (c.lastRead) std::fseek(c.file, 0, SEEK_CUR);
  c.lastRead = false;
  c.lastWrite = true;
}

Channel* Binary(int ch) {
  if (!ValidChannel(ch)) return nullptr;
  Channel& c = gChannels[ch];
  if (c.state != 'O' || c.file == nullptr) {
    gIoResult = kIoNotOpen;
    return nullptr;
  }
  return &c;
}

}  // namespace

bool ValidChannel(int ch) { return ch >= kFirstChannel && ch <= kLastChannel; }

int32_t SystemCodeOfErrno(int e) {
  switch (e) {
    case 0: return 0;
    case ENOENT: return 2;    // file not found
    case ENOTDIR: return 3;   // path not found
    case EMFILE: return 4;    // too many open files
    case EACCES:
    case EPERM:
    case EISDIR: return 5;    // access denied
    case EBADF: return 6;     // invalid handle
    case ENOMEM: return 8;    // not enough memory
    case EXDEV: return 17;    // not the same device
    case EROFS: return 19;    // write protected
    case EEXIST: return 80;   // file exists
    case EINVAL: return 87;   // invalid parameter
    case ENOSPC: return 112;  // disk full
    case ENOTEMPTY: return 145;  // directory not empty
    case ENAMETOOLONG: return 206;
    default: return 31;       // general failure
  }
}

void Assign(int ch, const std::string& name) {
  if (!ValidChannel(ch)) return;
  Channel& c = gChannels[ch];
  CloseFile(c);
  c.name = name;
  c.state = name.empty() ? ' ' : '*';
}

int AssignFree(const std::string& name) {
  for (int ch = kFirstChannel; ch <= kLastChannel; ++ch) {
    if (gChannels[ch].state == ' ') {
      Assign(ch, name);
      return ch;
    }
  }
  return 0;
}

void Reset(int ch) {
  if (!ValidChannel(ch)) return;
  Channel& c = gChannels[ch];
  if (!PrepareOpen(c)) return;
  OpenWith(c, "rb", 'R');
}

void Rewrite(int ch) {
  if (!ValidChannel(ch)) return;
  Channel& c = gChannels[ch];
  if (!PrepareOpen(c)) return;
  OpenWith(c, "wb", 'W');
}

void Append(int ch) {
  if (!ValidChannel(ch)) return;
  Channel& c = gChannels[ch];
  if (!PrepareOpen(c)) return;
  if (!FileExistsPlain(c.name)) {
    gIoResult = 2;
    return;
  }
  OpenWith(c, "ab", 'A');
}

void OpenRW(int ch) {
  if (!ValidChannel(ch)) return;
  Channel& c = gChannels[ch];
  if (!PrepareOpen(c)) return;
  // FILEMODE 0 reads only; 1 and 2 allow writing.
  const int mode = gSwitches.FileMode & 3;
  const char* openMode = mode == 0 ? "rb" : "r+b";
  if (FileExistsPlain(c.name)) {
    OpenWith(c, openMode, 'O');
    return;
  }
  OpenWith(c, mode == 0 ? "w+b" : "w+b", 'O');
}

void Close(int ch) {
  if (!ValidChannel(ch)) return;
  Channel& c = gChannels[ch];
  if (c.state == ' ') return;  // a free channel stays free
  CloseFile(c);
  c.state = '*';
}

void CloseAll() {
  for (int ch = kFirstChannel; ch <= kLastChannel; ++ch) {
    Channel& c = gChannels[ch];
    if (c.file != nullptr) std::fclose(c.file);
    c = Channel{};
  }
  gIoResult = 0;
  gSearchCode = 0;
}

bool Seek(int ch, int64_t pos) {
  Channel* c = Binary(ch);
  if (c == nullptr) return false;
  if (pos < 0 || pos > 0x7FFFFFFF || std::fseek(c->file, static_cast<long>(pos), SEEK_SET) != 0) {
    gIoResult = pos < 0 ? 131 : SystemCodeOfErrno(errno);  // 131: negative seek
    return false;
  }
  c->lastRead = c->lastWrite = false;
  return true;
}

bool PutBytes(int ch, const void* data, size_t count) {
  Channel* c = Binary(ch);
  if (c == nullptr) return false;
  if ((gSwitches.FileMode & 3) == 0) {
    gIoResult = kIoNotForWriting;
    return false;
  }
  BeforeWrite(*c);
  if (count > 0 && std::fwrite(data, 1, count, c->file) != count) {
    gIoResult = kIoWriteFailed;
    return false;
  }
  return true;
}

size_t GetBytes(int ch, void* data, size_t count) {
  Channel* c = Binary(ch);
  if (c == nullptr || count == 0) return 0;
  BeforeRead(*c);
  size_t got = std::fread(data, 1, count, c->file);
  if (got < count) {
    if (std::ferror(c->file)) {
      gIoResult = kIoReadPastEnd;
      std::clearerr(c->file);
    }
  }
  return got;
}

int64_t Position(int ch) {
  Channel* c = Binary(ch);
  if (c == nullptr) return -1;
  return std::ftell(c->file);
}

int64_t Size(int ch) {
  Channel* c = Binary(ch);
  if (c == nullptr) return -1;
  if (c->lastWrite) std::fflush(c->file);
  long here = std::ftell(c->file);
  std::fseek(c->file, 0, SEEK_END);
  long end = std::ftell(c->file);
  std::fseek(c->file, here, SEEK_SET);
  c->lastRead = c->lastWrite = false;
  return end;
}

bool WriteText(int ch, const std::string& text) {
  if (!ValidChannel(ch)) return false;
  Channel& c = gChannels[ch];
  if (c.file == nullptr) {
    gIoResult = c.state == ' ' || c.state == '*' ? kIoNotOpen : kIoNotForWriting;
    return false;
  }
  if (c.state != 'W' && c.state != 'A') {
    gIoResult = kIoNotForWriting;
    return false;
  }
  std::string out;
  out.reserve(text.size() + 8);
  for (char ch8 : text) {
    if (ch8 == '\n') out.push_back('\r');
    out.push_back(ch8);
  }
  BeforeWrite(c);
  if (!out.empty() && std::fwrite(out.data(), 1, out.size(), c.file) != out.size()) {
    gIoResult = kIoWriteFailed;
    return false;
  }
  std::fflush(c.file);
  return true;
}

bool ReadLine(int ch, std::string& line) {
  line.clear();
  if (!ValidChannel(ch)) return false;
  Channel& c = gChannels[ch];
  if (c.file == nullptr) {
    gIoResult = kIoNotOpen;
    return false;
  }
  if (c.state != 'R') {
    gIoResult = kIoNotForReading;
    return false;
  }
  BeforeRead(c);
  int v = std::fgetc(c.file);
  if (v == EOF) {
    gIoResult = kIoReadPastEnd;
    return false;
  }
  while (v != EOF && v != '\n') {
    // A line longer than any string may be ends the statement that reads
    // it like an exhausted memory (the executors report 219).
    if (line.size() >= kMaxStringLength) throw std::length_error("line longer than a string may be");
    line.push_back(static_cast<char>(v));
    v = std::fgetc(c.file);
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

bool AtEnd(int ch) {
  if (!ValidChannel(ch)) return true;
  Channel& c = gChannels[ch];
  if (c.file == nullptr) {
    gIoResult = kIoNotOpen;
    return true;
  }
  if (c.state == 'O' || c.state == 'R') {
    BeforeRead(c);
    int v = std::fgetc(c.file);
    if (v == EOF) {
      std::clearerr(c.file);
      return true;
    }
    std::ungetc(v, c.file);
    return false;
  }
  return true;  // a file open for writing is always at its end
}

char State(int ch) { return ValidChannel(ch) ? gChannels[ch].state : ' '; }

const std::string& Name(int ch) { return ValidChannel(ch) ? gChannels[ch].name : kEmpty; }

bool Rename(int ch, const std::string& newName) {
  if (!ValidChannel(ch)) return false;
  Channel& c = gChannels[ch];
  if (c.name.empty()) {
    gIoResult = kIoNotAssigned;
    return false;
  }
  if (c.file != nullptr) {
    gIoResult = 32;  // sharing violation: the file is open
    return false;
  }
  errno = 0;
  if (std::rename(c.name.c_str(), newName.c_str()) != 0) {
    FailErrno();
    return false;
  }
  c.name = newName;
  return true;
}

int32_t TakeIoResult() {
  int32_t r = gIoResult != 0 ? gIoResult : gSearchCode;
  gIoResult = 0;
  gSearchCode = 0;
  return r;
}

int32_t PeekIoResult() { return gIoResult != 0 ? gIoResult : gSearchCode; }
void SetIoResult(int32_t code) { gIoResult = code; }
void SetSearchCode(int32_t code) { gSearchCode = code; }

}  // namespace korv::files
