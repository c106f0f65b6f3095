#include "gui/dialogs.h"

#include <string>
#include <vector>

#include "base/errors.h"
#include "gui/controls.h"
#include "gui/window.h"
#include "test_support.h"
#include "values/string_list.h"

namespace korv {
namespace {

using test::ProgramTest;
using namespace std::string_literals;
using Lines = std::vector<std::string>;

// Answers each dialog as scripted and keeps what it was shown.
class ScriptedDialogs : public DialogPlatform {
 public:
  bool Unattended() override { return unattended; }
  bool InputBox(const std::string& prompt, const std::string& caption, const std::string& text,
                std::string& out) override {
    shown.push_back("INPUT|" + prompt + "|" + caption + "|" + text);
    out = answer;
    return ok;
  }
  bool EditBox(const std::string& templ, const std::string& caption, const std::string& text,
               std::string& out) override {
    shown.push_back(templ + "|" + caption);
    editText = text;
    out = answer;
    return ok;
  }
  bool ListBox(const std::string& templ, const std::string& caption, const std::vector<std::string>& items,
               int32_t& index, std::string& selected) override {
    shown.push_back(templ + "|" + caption);
    listItems = items;
    index = pick;
    selected = pick >= 0 && pick < static_cast<int32_t>(items.size()) ? items[static_cast<size_t>(pick)] : "";
    return ok;
  }
  bool OpenFile(const TFileRequest& r, std::string& path) override { return File("open", r, path); }
  bool SaveFile(const TFileRequest& r, std::string& path) override { return File("save", r, path); }
  bool ChooseFolder(const std::string& title, std::string& path) override {
    shown.push_back("folder|" + title);
    path = answer;
    return ok;
  }
  int32_t ControlId(uint32_t window) override { return static_cast<int32_t>(window) + 1; }

  bool unattended = false, ok = true;
  std::string answer;
  int32_t pick = -1;
  std::vector<std::string> shown;
  std::string editText;
  std::vector<std::string> listItems;
  TFileRequest lastFile;

 private:
  bool File(const char* kind, const TFileRequest& r, std::string& path) {
    shown.push_back(std::string(kind) + "|" + r.title);
    lastFile = r;
    path = answer;
    return ok;
  }
};

class DialogsTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    SetDialogPlatform(&dialogs);
  }
  void TearDown() override {
    SetDialogPlatform(nullptr);
    ResetDialogState();
    gEvents = TEventState();
    ProgramTest::TearDown();
  }
  ScriptedDialogs dialogs;
};

TEST(DialogTemplates, StylesChooseTheTemplate) {
  EXPECT_EQ(EditBoxTemplate(2), "EDITBOX2");
  for (int32_t s : {1, 0, 3, -2}) EXPECT_EQ(EditBoxTemplate(s), "EDITBOX1") << s;
  for (int32_t s = 1; s <= 8; ++s) EXPECT_EQ(ListBoxTemplate(s), "LISTBOX" + std::to_string(s));
  for (int32_t s : {0, 9, -1, 100}) EXPECT_EQ(ListBoxTemplate(s), "LISTBOX7") << s;
}

TEST(DialogFilters, OpenFiltersArePairsEndedByTwoNuls) {
  EXPECT_EQ(OpenFileRequest("T", "Texte|*.txt").filter, "Texte\0*.txt\0\0"s);
  EXPECT_EQ(OpenFileRequest("T", "Texte|*.txt|").filter, "Texte\0*.txt\0\0"s);
  // A description without a pattern gets all files.
  EXPECT_EQ(OpenFileRequest("T", "Texte|*.txt|Alle").filter, "Texte\0*.txt\0Alle\0*.*\0\0"s);
  TFileRequest named = OpenFileRequest("Laden", "brief.txt");
  EXPECT_EQ(named.title, "Laden");
  EXPECT_EQ(named.fileName, "brief.txt");
  EXPECT_TRUE(named.filter.empty());
  EXPECT_EQ(OpenFileRequest("T", std::string(400, 'a')).fileName.size(), kFileNameMax);
}

TEST(DialogFilters, SaveFiltersFollowTheExtension) {
  TFileRequest r = SaveFileRequest("S", "brief.doc");
  EXPECT_EQ(r.filter, "*.doc\0*.doc\0\0"s);
  EXPECT_EQ(r.fileName, "brief.doc");
  EXPECT_EQ(SaveFileRequest("S", "c:\\ab.cd\\ohne").filter, "*.\0*.\0\0"s);
  EXPECT_EQ(SaveFileRequest("S", "").filter, "*.\0*.\0\0"s);
  EXPECT_EQ(SaveFileRequest("S", "Bilder|*.bmp").filter, "Bilder\0*.bmp\0\0"s);
}

TEST(DialogLines, JoinAndSplitAreInverse) {
  EXPECT_EQ(JoinListLines({"a", "", "b"}), "a\r\n\r\nb");
  EXPECT_EQ(SplitEditLines("a\r\n\r\nb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(SplitEditLines("x\r\n"), (Lines{"x", ""}));
  EXPECT_EQ(SplitEditLines("x\ny\rz"), (Lines{"x", "y\rz"}));
  EXPECT_TRUE(SplitEditLines("").empty());
  Lines many = {"eins", " zwei ", "", "drei"};
  EXPECT_EQ(SplitEditLines(JoinListLines(many)), many);
}

TEST_F(DialogsTest, InputReturnsTheTrimmedTextAndSetsButton) {
  dialogs.answer = "  hallo  ";
  EXPECT_EQ(Run("PRINT \"[\"; INPUT$(\"Name?\", \"Frage\", \"vor\"); \"]\"; %BUTTON\n"), 0);
  dialogs.ok = false;
  EXPECT_EQ(Run("PRINT \"[\"; INPUT$(\"Name?\", \"Frage\", \"" + std::string(300, 'v') + "\"); \"]\"; %BUTTON\n"), 0);
  EXPECT_EQ(host.stdoutText, "[hallo]1\n[]2\n");
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(dialogs.shown[0], "INPUT|Name?|Frage|vor");
  EXPECT_EQ(dialogs.shown[1], "INPUT|Name?|Frage|" + std::string(kInputMax, 'v'));
}

TEST_F(DialogsTest, EditBoxReplacesTheListOnlyAfterOk) {
  dialogs.answer = "neu\r\nzwei";
  EXPECT_EQ(Run("DECLARE n%\nn% = MOVESTRTOLIST(\"a|b\", \"|\")\n"
                "PRINT EDITBOX(\"Text\", 2); %BUTTON; MOVELISTTOSTR$(\"/\")\n"),
            0);
  EXPECT_EQ(dialogs.shown, (Lines{"EDITBOX2|Text"}));
  EXPECT_EQ(dialogs.editText, "a\r\nb");
  EXPECT_EQ(host.stdoutText, "11neu/zwei/\n");
  host.stdoutText.clear();
  dialogs.ok = false;
  EXPECT_EQ(Run("DECLARE n%\nn% = MOVESTRTOLIST(\"a|b\", \"|\")\n"
                "PRINT EDITBOX(\"Text\", 1); %BUTTON; MOVELISTTOSTR$(\"/\")\n"),
            0);
  EXPECT_EQ(host.stdoutText, "02a/b/\n");
}

TEST_F(DialogsTest, EditBoxKeepsTheListWhenTheLinesDoNotFit) {
  dialogs.answer = std::string(static_cast<size_t>(kStringListLast) + 1, '\n');  // one line too many
  EXPECT_EQ(Run("SETERRORLEVEL -1\nDECLARE n%\nn% = MOVESTRTOLIST(\"a|b\", \"|\")\n"
                "PRINT EDITBOX(\"Text\", 1); %ERRNUMBER; MOVELISTTOSTR$(\"/\")\n"),
            0);
  EXPECT_EQ(host.stdoutText, "0232a/b/\n");
}

TEST_F(DialogsTest, ListBoxShowsTheListAndRecordsTheSelection) {
  dialogs.pick = 1;
  EXPECT_EQ(Run("DECLARE n%\nn% = MOVESTRTOLIST(\"rot| gruen |blau\", \"|\")\n"
                "PRINT \"[\"; LISTBOX$(\"Farbe\", 9); \"]\"; %BUTTON\n"),
            0);
  EXPECT_EQ(dialogs.shown, (Lines{"LISTBOX7|Farbe"}));
  EXPECT_EQ(dialogs.listItems, (Lines{"rot", " gruen ", "blau"}));
  EXPECT_EQ(host.stdoutText, "[gruen]1\n");
  EXPECT_EQ(gDialogs.listSelection, 1);
  EXPECT_EQ(gControls.listSelection, 1);
  EXPECT_EQ(gDialogs.listText, " gruen ");
  dialogs.ok = false;
  EXPECT_EQ(Run("PRINT \"[\"; LISTBOX$(\"Farbe\", 3); \"]\"; %BUTTON\n"), 0);
  EXPECT_EQ(host.stdoutText, "[gruen]1\n[]2\n");
}

TEST_F(DialogsTest, FileDialogsAndTheFolderBrowser) {
  dialogs.answer = " c:\\daten\\brief.txt ";
  EXPECT_EQ(Run("PRINT LOADFILE$(\"Laden\", \"Texte|*.txt\"); \"|\"; %BUTTON\n"), 0);
  EXPECT_EQ(dialogs.lastFile.filter, "Texte\0*.txt\0\0"s);
  EXPECT_EQ(Run("PRINT SAVEFILE$(\"Sichern\", \"brief.txt\"); \"|\"; %BUTTON\n"), 0);
  EXPECT_EQ(dialogs.lastFile.filter, "*.txt\0*.txt\0\0"s);
  EXPECT_EQ(dialogs.lastFile.fileName, "brief.txt");
  dialogs.answer = "c:\\daten";
  EXPECT_EQ(Run("PRINT CHOOSEDIR$(\"Ordner\"); \"|\"; %BUTTON\n"), 0);
  dialogs.answer = "c:\\";
  EXPECT_EQ(Run("PRINT CHOOSEDIR$(\"Ordner\")\n"), 0);
  dialogs.ok = false;
  EXPECT_EQ(Run("PRINT LOADFILE$(\"L\", \"x\"); SAVEFILE$(\"S\", \"x\"); CHOOSEDIR$(\"O\"); \"|\"; %BUTTON\n"), 0);
  EXPECT_EQ(host.stdoutText,
            "c:\\daten\\brief.txt|1\nc:\\daten\\brief.txt|1\nc:\\daten\\|1\nc:\\\n|2\n");
  EXPECT_EQ(dialogs.shown, (Lines{"open|Laden", "save|Sichern", "folder|Ordner", "folder|Ordner", "open|L",
                                  "save|S", "folder|O"}));
}

TEST_F(DialogsTest, ConsoleModeAnswersWithoutShowing) {
  dialogs.unattended = true;
  host.inputLines = {"  getippt ", ""};
  EXPECT_EQ(Run("PRINT \"[\"; INPUT$(\"p\", \"c\", \"vor\"); \"]\"; %BUTTON\n"    // a line typed
                "PRINT \"[\"; INPUT$(\"p\", \"c\", \"vor\"); \"]\"; %BUTTON\n"    // an empty line
                "PRINT \"[\"; INPUT$(\"p\", \"c\", \" vor \"); \"]\"; %BUTTON\n"  // no more input
                "PRINT \"[\"; INPUT$(\"p\", \"c\", \"\"); \"]\"; %BUTTON\n"
                "PRINT EDITBOX(\"e\", 1); %BUTTON\n"
                "DECLARE n%\nn% = MOVESTRTOLIST(\"a\", \"|\")\n"
                "PRINT EDITBOX(\"e\", 1); %BUTTON; MOVELISTTOSTR$(\"/\")\n"
                "PRINT \"[\"; LISTBOX$(\"l\", 1); \"]\"; %BUTTON\n"
                "PRINT \"[\"; LOADFILE$(\"l\", \"x\"); SAVEFILE$(\"s\", \"x\"); CHOOSEDIR$(\"c\"); \"]\"; %BUTTON\n"),
            0);
  EXPECT_EQ(host.stdoutText, "[getippt]1\n[]2\n[vor]1\n[]2\n02\n11a/\n[]1\n[]2\n");
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(DialogsTest, ItemIdAsksTheWindow) {
  EXPECT_EQ(Run("PRINT ITEMID(1000); \" \"; %ITEMID\n"), 0);
  EXPECT_EQ(host.stdoutText, "1001 0\n");
}

}  // namespace
}  // namespace korv
