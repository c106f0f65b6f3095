#include "system/file_channels.h"

#include "system/ini_file.h"
#include "test_support.h"
#include "base/errors.h"
#include "values/set_get.h"

namespace korv {
namespace {

using test::ProgramTest;

class FileChannelsTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    files::CloseAll();
    gSwitches.FileMode = 2;
  }
  bool Reported(int32_t code) const {
    for (const auto& b : host.boxes)
      if ((b.caption + b.text).find(ErrorText(code)) != std::string::npos) return true;
    return false;
  }
  void TearDown() override {
    files::CloseAll();
    ProgramTest::TearDown();
  }
};

// The state machine: blank -> * -> R/W/A/O -> * -> blank, with the
// %IORESULT codes of the state errors.
TEST_F(FileChannelsTest, StateMachineAndStateErrors) {
  EXPECT_EQ(files::State(5), ' ');
  files::Close(5);  // a free channel stays free
  EXPECT_EQ(files::State(5), ' ');
  files::Reset(5);  // no name: nothing opens
  EXPECT_EQ(files::State(5), ' ');
  EXPECT_EQ(files::TakeIoResult(), files::kIoNotAssigned);

  files::Assign(5, "a.txt");
  EXPECT_EQ(files::State(5), '*');
  EXPECT_FALSE(files::WriteText(5, "x"));
  EXPECT_EQ(files::TakeIoResult(), files::kIoNotOpen);
  files::Reset(5);  // missing file: stays *, system code 2
  EXPECT_EQ(files::State(5), '*');
  EXPECT_EQ(files::TakeIoResult(), 2);
  files::Append(5);
  EXPECT_EQ(files::State(5), '*');
  EXPECT_EQ(files::TakeIoResult(), 2);
  EXPECT_EQ(Read("a.txt"), "");  // the failed APPEND created nothing

  files::Rewrite(5);
  EXPECT_EQ(files::State(5), 'W');
  EXPECT_TRUE(files::WriteText(5, "one\ntwo\n"));
  std::string line;
  EXPECT_FALSE(files::ReadLine(5, line));
  EXPECT_EQ(files::TakeIoResult(), files::kIoNotForReading);
  EXPECT_FALSE(files::PutBytes(5, "x", 1));
  EXPECT_EQ(files::TakeIoResult(), files::kIoNotOpen);
  // Opening again closes the open record first (the text is flushed).
  files::Reset(5);
  EXPECT_EQ(files::State(5), 'R');
  EXPECT_EQ(Read("a.txt"), "one\r\ntwo\r\n");
  EXPECT_FALSE(files::WriteText(5, "x"));
  EXPECT_EQ(files::TakeIoResult(), files::kIoNotForWriting);
  EXPECT_TRUE(files::ReadLine(5, line));
  EXPECT_EQ(line, "one");
  EXPECT_FALSE(files::AtEnd(5));
  EXPECT_TRUE(files::ReadLine(5, line));
  EXPECT_EQ(line, "two");
  EXPECT_TRUE(files::AtEnd(5));
  EXPECT_FALSE(files::ReadLine(5, line));
  EXPECT_EQ(files::TakeIoResult(), files::kIoReadPastEnd);
  EXPECT_EQ(files::TakeIoResult(), 0);  // reading clears

  files::Close(5);
  EXPECT_EQ(files::State(5), '*');
  files::Append(5);
  EXPECT_EQ(files::State(5), 'A');
  files::WriteText(5, "three\n");
  files::Close(5);
  EXPECT_EQ(Read("a.txt"), "one\r\ntwo\r\nthree\r\n");
  files::Assign(5, "");
  EXPECT_EQ(files::State(5), ' ');
  EXPECT_EQ(files::Name(5), "");
}

TEST_F(FileChannelsTest, TextReadingAcceptsBareLineFeeds) {
  Write("lf.txt", "a\nb\r\n\nlast");
  files::Assign(1, "lf.txt");
  files::Reset(1);
  std::vector<std::string> lines;
  std::string line;
  while (!files::AtEnd(1) && files::ReadLine(1, line)) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "", "last"}));
}

TEST_F(FileChannelsTest, BinaryOpenReadWriteSeekAndSize) {
  files::Assign(2, "b.bin");
  files::OpenRW(2);  // creates the missing file
  ASSERT_EQ(files::State(2), 'O');
  EXPECT_TRUE(files::PutBytes(2, "ABCDEF", 6));
  EXPECT_EQ(files::Position(2), 6);
  EXPECT_EQ(files::Size(2), 6);
  EXPECT_TRUE(files::AtEnd(2));
  EXPECT_TRUE(files::Seek(2, 2));
  char buf[8] = {};
  EXPECT_EQ(files::GetBytes(2, buf, 2), 2u);
  EXPECT_EQ(std::string(buf, 2), "CD");
  EXPECT_TRUE(files::PutBytes(2, "x", 1));  // read then write at the position
  EXPECT_EQ(files::GetBytes(2, buf, 8), 1u);  // short read at the end
  EXPECT_EQ(buf[0], 'F');
  EXPECT_FALSE(files::Seek(2, -1));
  EXPECT_NE(files::TakeIoResult(), 0);
  files::Close(2);
  EXPECT_EQ(Read("b.bin"), "ABCDxF");

  // OPENRW on an existing file keeps its contents and writes in place.
  files::OpenRW(2);
  EXPECT_EQ(files::Size(2), 6);
  EXPECT_TRUE(files::PutBytes(2, "zz", 2));
  files::Close(2);
  EXPECT_EQ(Read("b.bin"), "zzCDxF");

  // FILEMODE 0 opens for reading only.
  gSwitches.FileMode = 0;
  files::OpenRW(2);
  EXPECT_FALSE(files::PutBytes(2, "q", 1));
  EXPECT_EQ(files::TakeIoResult(), files::kIoNotForWriting);
  files::Close(2);
  EXPECT_EQ(Read("b.bin"), "zzCDxF");
}

TEST_F(FileChannelsTest, AssignFreeAndRename) {
  files::Assign(1, "x");
  files::Assign(2, "y");
  EXPECT_EQ(files::AssignFree("z"), 3);
  for (int ch = 4; ch <= 99; ++ch) files::Assign(ch, "n");
  EXPECT_EQ(files::AssignFree("full"), 0);

  Write("old.txt", "data");
  files::Assign(1, "old.txt");
  EXPECT_TRUE(files::Rename(1, "new.txt"));
  EXPECT_EQ(files::Name(1), "new.txt");
  EXPECT_EQ(Read("new.txt"), "data");
  EXPECT_FALSE(files::Rename(1, "missing/dir/x.txt"));
  EXPECT_EQ(files::Name(1), "new.txt");  // kept after the failure
  EXPECT_NE(files::TakeIoResult(), 0);
}

// Whole programs: the statements, functions and the range errors.
TEST_F(FileChannelsTest, ProgramWritesAndReadsBack) {
  EXPECT_EQ(Run("ASSIGN #1, \"t.txt\"\n"
                "REWRITE #1\n"
                "PRINT FILESTATUS$(#1)\n"
                "PRINT #1, \"ab\"; 12\n"
                "PRINT #1, \"c\",\n"
                "PRINT #1, \"d\"\n"
                "CLOSE #1\n"
                "PRINT FILESTATUS$(1)\n"
                "DECLARE a$, n%\n"
                "RESET #1\n"
                "WHILE EOF(#1) = 0\n"
                "INPUT #1, a$\n"
                "PRINT \"[\" + a$ + \"]\"\n"
                "ENDWHILE\n"
                "CLOSE #1\n"
                "n% = ASSIGN(\"u.bin\")\n"
                "PRINT n%\n"
                "OPENRW #n%\n"
                "PUTLONG #n%, -2\n"
                "PUTWORD #n%, 513\n"
                "PUTCHAR #n%, \"xy\"\n"
                "PRINT FILEPOS(#n%); \" \"; GETFILESIZE(#n%)\n"
                "SEEK #n%, 0\n"
                "PRINT GETLONG(#n%); \" \"; GETWORD(#n%); \" \"; GETCHAR$(#n%, 10); \" \"; EOF(#n%)\n"
                "PRINT GETBYTE(#n%); \" \"; %IORESULT; \" \"; %IORESULT\n"
                "CLOSE #n%\n"),
            0);
  EXPECT_EQ(Read("t.txt"), "ab12\r\nc d\r\n");
  EXPECT_EQ(host.stdoutText, "W\n*\n[ab12]\n[c d]\n2\n8 8\n-2 513 xy 1\n0 100 0\n");
}

TEST_F(FileChannelsTest, ChannelRangeErrors) {
  EXPECT_EQ(Run("ASSIGN #100, \"x\"\n"), 3);
  EXPECT_TRUE(Reported(210));
  EXPECT_EQ(Run("RESET #0\n"), 3);
  EXPECT_EQ(Run("PRINT EOF(#0)\n"), 3);
  EXPECT_EQ(Run("DECLARE s$\ns$ = GETCHAR$(100, 1)\n"), 3);
}

TEST_F(FileChannelsTest, FileNameStatementsAndSearch) {
  EXPECT_EQ(Run("MKDIR \"sub/\"\n"
                "MKDIR \"sub\"\n"
                "PRINT DIREXISTS(\"sub\"); FILEEXISTS(\"sub\")\n"
                "ASSIGN #3, \"sub/f1.txt\"\n"
                "REWRITE #3\n"
                "PRINT #3, \"hello\"\n"
                "CLOSE #3\n"
                "COPY \"sub/f1.txt\" > \"sub/f2.txt\"\n"
                "DECLARE n%\n"
                "n% = FILESIZE(\"sub/f2.txt\")\n"
                "PRINT FILEEXISTS(\"sub/f2.txt\"); n%\n"
                "PRINT \"<\" + FINDFIRST$(\"sub/*.txt\") + \">\"\n"
                "PRINT \"<\" + FINDNEXT$() + \">\"\n"
                "PRINT \"<\" + FINDNEXT$() + \">\"; %IORESULT\n"
                "PRINT \"<\" + FINDFIRST$(\"sub/*.none\") + \">\"; %IORESULT\n"
                "ERASE 3\n"
                "ERASE \"sub/f2.txt\"\n"
                "PRINT FILEEXISTS(\"sub/f1.txt\"); FILEEXISTS(\"sub/f2.txt\"); %IORESULT\n"
                "RMDIR \"sub\"\n"
                "PRINT DIREXISTS(\"sub\")\n"),
            0);
  EXPECT_EQ(host.stdoutText, "10\n17\n<f1.txt>\n<f2.txt>\n<>18\n<>18\n000\n0\n");
}

TEST_F(FileChannelsTest, FindNextWithoutFindFirst) {
  EXPECT_EQ(Run("DECLARE s$\ns$ = FINDNEXT$()\n"), 3);
  EXPECT_TRUE(Reported(311));
}

// INI logic: case-insensitive names, trimmed values, entries added to the
// right section, other lines kept.
TEST(IniFileTest, ReadAndWriteEntries) {
  const std::string text =
      "; comment\r\n[Main]\r\n  Name = Value one  \r\nempty=\r\n\r\n[Other]\nname=second\n";
  bool found = false;
  EXPECT_EQ(ini::ReadValue(text, "main", "NAME", &found), "Value one");
  EXPECT_TRUE(found);
  EXPECT_EQ(ini::ReadValue(text, "Other", "name"), "second");
  EXPECT_EQ(ini::ReadValue(text, "Main", "empty", &found), "");
  EXPECT_TRUE(found);
  EXPECT_EQ(ini::ReadValue(text, "Main", "missing", &found), "");
  EXPECT_FALSE(found);
  EXPECT_EQ(ini::ReadValue(text, "Nope", "name", &found), "");
  EXPECT_FALSE(found);

  std::string t = ini::WriteValue(text, "MAIN", "name", "new");
  EXPECT_EQ(t, "; comment\r\n[Main]\r\nname=new\r\nempty=\r\n\r\n[Other]\nname=second\n");
  t = ini::WriteValue(t, "main", "added", "1");
  EXPECT_EQ(t, "; comment\r\n[Main]\r\nname=new\r\nempty=\r\nadded=1\r\n\r\n[Other]\nname=second\n");
  t = ini::WriteValue(t, "Third", "k", "v");
  EXPECT_EQ(ini::ReadValue(t, "third", "K"), "v");
  EXPECT_EQ(ini::ReadValue(t, "other", "name"), "second");
  EXPECT_EQ(ini::WriteValue("", "S", "k", "v"), "[S]\r\nk=v\r\n");
  EXPECT_EQ(ini::WriteValue("[S]", "S", "k", "v"), "[S]\r\nk=v\r\n");
}

TEST(IniFileTest, MalformedTextNeverBreaksTheReader) {
  const std::string junk[] = {"[", "[]", "=", "[S\nk=v", "\r\r\n[S]\rk=v", "[S]\n=v\nk",
                              std::string("[S]\0k=v", 7)};
  for (const auto& text : junk) {
    ini::ReadValue(text, "S", "k");
    std::string w = ini::WriteValue(text, "S", "k", "v");
    EXPECT_EQ(ini::ReadValue(w, "S", "k"), "v") << text;
  }
}

TEST_F(FileChannelsTest, IniRoundTripInAProgram) {
  EXPECT_EQ(Run("WRITEINI \"t.ini\", \"Sec\", \"Key\" = \"Val \" + \"3\"\n"
                "WRITEINI \"t.ini\", \"Sec\", \"N\" = 42\n"
                "PRINT READINI$(\"t.ini\", \"sec\", \"key\") + \"|\" + READINI$(\"t.ini\", \"SEC\", \"n\")\n"
                "PRINT \"<\" + READINI$(\"t.ini\", \"sec\", \"none\") + \">\"\n"),
            0);
  EXPECT_EQ(Read("t.ini"), "[Sec]\r\nKey=Val 3\r\nN=42\r\n");
  EXPECT_EQ(host.stdoutText, "Val 3|42\n<>\n");
}

TEST_F(FileChannelsTest, BlockReadAndWriteWithAreas) {
  EXPECT_EQ(Run("DECLARE a#, b#, n%\n"
                "DIM a#, 8\n"
                "DIM b#, 8\n"
                "STRING a#, 0 = \"ABCDEFG\"\n"
                "BLOCKWRITE \"blk.bin\", a#, 1, 4\n"
                "n% = BLOCKREAD(\"blk.bin\", b#, 2, 6)\n"
                "PRINT n%; \" \"; STRING$(b#, 2)\n"
                "ASSIGN #1, \"blk.bin\"\n"
                "OPENRW #1\n"
                "SEEK #1, 4\n"
                "BLOCKWRITE #1, a#, 0, 2\n"
                "SEEK #1, 0\n"
                "n% = BLOCKREAD(#1, b#, 0, 8)\n"
                "CLOSE #1\n"
                "PRINT n%; \" \"; STRING$(b#, 0)\n"),
            0);
  EXPECT_EQ(Read("blk.bin"), "BCDEAB");
  EXPECT_EQ(host.stdoutText, "4 BCDE\n6 BCDEAB\n");
  EXPECT_EQ(Run("DECLARE a#\nDIM a#, 4\nBLOCKWRITE \"never.bin\", a#, -1, 2\n"), 3);
  EXPECT_EQ(Read("never.bin"), "");
  EXPECT_EQ(Run("DECLARE a#\nDIM a#, 4\nBLOCKWRITE \"never.bin\", a#, 2, 3\n"), 3);
  EXPECT_TRUE(Reported(207));
  EXPECT_FALSE(std::filesystem::exists("never.bin"));
}

}  // namespace
}  // namespace korv

#include "system/key_string.h"

namespace korv {
namespace {

std::string Describe(const std::vector<keys::KeyStroke>& ks) {
  std::string s;
  for (const auto& k : ks) {
    if (k.shift) s += "+";
    if (k.ctrl) s += "^";
    if (k.alt) s += "%";
    s += k.isChar ? std::string(1, k.ch) : "<" + std::to_string(k.vk) + ">";
    s += " ";
  }
  return s;
}

TEST(KeyStringTest, ModifiersGroupsNamesAndRepeats) {
  EXPECT_EQ(Describe(keys::ParseKeyString("^(ac)x")), "^a ^c x ");
  EXPECT_EQ(Describe(keys::ParseKeyString("{TAB 3}")), "<9> <9> <9> ");
  EXPECT_EQ(Describe(keys::ParseKeyString("+a%{f4}~{enter}")), "+a %<115> <19> <13> ");
  EXPECT_EQ(Describe(keys::ParseKeyString("{xyz}{}}")), "x } ");
  // An unclosed brace and an unclosed group are plain text.
  EXPECT_EQ(Describe(keys::ParseKeyString("{ab")), "{ a b ");
  EXPECT_EQ(Describe(keys::ParseKeyString("^(a")), "^( a ");
  EXPECT_EQ(keys::ParseKeyString("{a 99999999}").size(), static_cast<size_t>(keys::kMaxRepeat));
  EXPECT_EQ(keys::KeyNameCode("F24"), 135);
  EXPECT_EQ(keys::KeyNameCode("F25"), 0);
  EXPECT_EQ(keys::KeyNameCode("ScrollLock"), 145);
}

}  // namespace
}  // namespace korv
