// The 99 file channels of a program: the channel table, the state machine of
// a channel (blank, "*", R, W, A, O) and the file-system error state that
// %IORESULT reads. File access goes through the C library, so the same code
// runs in the Windows programs and in the native unit tests.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace korv::files {

constexpr int kFirstChannel = 1;
constexpr int kLastChannel = 99;

// %IORESULT codes for state errors (system failures give the system code).
constexpr int32_t kIoReadPastEnd = 100;    // read after the end of the file
constexpr int32_t kIoWriteFailed = 101;    // the data could not be written
constexpr int32_t kIoNotAssigned = 102;    // the channel has no file name
constexpr int32_t kIoNotOpen = 103;        // the channel is not open
constexpr int32_t kIoNotForReading = 104;  // open, but not for reading
constexpr int32_t kIoNotForWriting = 105;  // open, but not for writing
constexpr int32_t kIoBadNumber = 106;      // reserved: invalid numeric text
constexpr int32_t kNoMoreFiles = 18;       // directory search at its end

bool ValidChannel(int ch);

// Statements. All of them expect a valid channel number; failures only set
// the error state.
void Assign(int ch, const std::string& name);  // "" frees the channel
int AssignFree(const std::string& name);       // first free channel, 0 if none
void Reset(int ch);                            // text, reading: R
void Rewrite(int ch);                          // text, create/truncate: W
void Append(int ch);                           // text, appending: A
void OpenRW(int ch);                           // binary, FILEMODE access: O
void Close(int ch);
void CloseAll();  // closes every open file and frees all channels

// Binary access (state O).
bool Seek(int ch, int64_t pos);
bool PutBytes(int ch, const void* data, size_t count);
// Reads up to count bytes; returns the number read (short at the end).
size_t GetBytes(int ch, void* data, size_t count);
int64_t Position(int ch);  // -1 when not open
int64_t Size(int ch);      // -1 when not open

// Text access: "\n" in text is written as CR LF (states W, A); a line is read
// up to CR LF or LF (state R). ReadLine gives false at the end of the file.
bool WriteText(int ch, const std::string& text);
bool ReadLine(int ch, std::string& line);
bool AtEnd(int ch);  // binary end for O, text end for R; 1 otherwise

char State(int ch);
const std::string& Name(int ch);
// Renames the assigned file; the new name is stored only on success.
bool Rename(int ch, const std::string& newName);

// The error state.
int32_t TakeIoResult();  // reads and clears (the search code counts too)
int32_t PeekIoResult();
void SetIoResult(int32_t code);
void SetSearchCode(int32_t code);
// errno value -> the system error code a program sees.
int32_t SystemCodeOfErrno(int e);

}  // namespace korv::files

namespace korv {
// Statements and functions of files, directories, INI files and the
// clipboard (file_commands.cpp); the per-run reset closes every channel.
void RegisterFileCommands();
void ResetFileState();

// The registry side of READINI$/WRITEINI and the clipboard, installed by the
// Windows build. Without them registry names and the clipboard do nothing.
struct SystemStoreHooks {
  // file begins with "HKEY_": returns false after a report.
  bool (*readRegistry)(const std::string& file, const std::string& section,
                       const std::string& key, std::string& out) = nullptr;
  void (*writeRegistry)(const std::string& file, const std::string& section,
                        const std::string& key, const std::string& value, int32_t intValue) = nullptr;
  void (*clearClip)() = nullptr;
  void (*putClip)(const std::string& text) = nullptr;
  std::string (*getClip)() = nullptr;
};
void SetSystemStoreHooks(const SystemStoreHooks& hooks);
}  // namespace korv

namespace korv {
// Windows build: installs the registry and clipboard hooks (file_stores_win32.cpp).
void InstallWin32FileStores();
}  // namespace korv
