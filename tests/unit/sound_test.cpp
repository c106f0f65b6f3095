#include "sound/sound.h"

#include <string>
#include <vector>

#include "test_support.h"

namespace korv {
namespace {

// A MIDI sink on a fake clock: every call is one line, stamped with the
// clock; waiting moves the clock to the end of the wait.
class RecordingSound : public SoundDevice {
 public:
  uint32_t MidiDeviceCount() override { return devices; }
  bool OpenMidi() override {
    Log("open");
    ++opens;
    return openWorks;
  }
  void CloseMidi() override { Log("close"); }
  void MidiShort(uint32_t m) override {
    const int status = m & 0xFF, d1 = (m >> 8) & 0xFF, d2 = (m >> 16) & 0xFF;
    EXPECT_EQ(m >> 24, 0u);
    EXPECT_LE(d1, 127);
    EXPECT_LE(d2, 127);
    const int ch = status & 0x0F;
    switch (status & 0xF0) {
      case 0x90: Log(d2 ? "on " + N(ch) + " " + N(d1) + " " + N(d2) : "off " + N(ch) + " " + N(d1)); break;
      case 0xC0: Log("program " + N(ch) + " " + N(d1)); break;
      case 0xB0: Log("control " + N(ch) + " " + N(d1)); break;
      default: ADD_FAILURE() << "unexpected status " << status;
    }
  }
  uint32_t Ticks() override { return now; }
  void WaitUntil(uint32_t start, uint32_t ms) override {
    EXPECT_LE(start, now);
    if (start + ms > now) now = start + ms;
  }
  void Tone(uint32_t f, uint32_t ms) override { Log("tone " + N(f) + " " + N(ms)); }
  void PlayWave(const std::string& file, uint32_t flags) override { Log("wave " + file + " " + N(flags)); }
  void StopWave() override {}

  std::vector<std::string> calls;
  uint32_t devices = 1;
  bool openWorks = true;
  int opens = 0;
  uint32_t now = 1000;

 private:
  static std::string N(int64_t v) { return std::to_string(v); }
  void Log(const std::string& s) { calls.push_back("@" + N(now - 1000) + " " + s); }
};

using Calls = std::vector<std::string>;

class SoundTest : public test::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    SetSoundDevice(&device);
  }
  void TearDown() override {
    ResetSound();
    SetSoundDevice(nullptr);
    ProgramTest::TearDown();
  }
  // Plays text at the music settings of a fresh run.
  Calls Music(const std::string& text) {
    ResetSound();
    device.calls.clear();
    device.now = 1000;
    PlayMusic(text, nullptr);
    return device.calls;
  }
  RecordingSound device;
};

TEST_F(SoundTest, MusicAtTheStartValuesPlaysNormalQuarterNotes) {
  // 500 ms quarters at tempo 120: 437 ms sounding, 62 ms silent.
  EXPECT_EQ(Music("C D E"), (Calls{"@0 open", "@0 program 0 0",
                                    "@0 on 0 48 100", "@437 off 0 48",
                                    "@499 on 0 50 100", "@936 off 0 50",
                                    "@998 on 0 52 100", "@1435 off 0 52", "@1497 close"}));
}

TEST_F(SoundTest, NoteLengthDotAndAccidentalsApplyToOneNote) {
  // C8. lasts 375 ms (328 + 46), the next note is a quarter again;
  // "#" and "+" raise, "-" lowers; lower-case letters count.
  EXPECT_EQ(Music("ML c8. d# e+ f-"),
            (Calls{"@0 open", "@0 program 0 0", "@0 on 0 48 100", "@375 off 0 48",
                   "@375 on 0 51 100", "@875 off 0 51", "@875 on 0 53 100", "@1375 off 0 53",
                   "@1375 on 0 52 100", "@1875 off 0 52", "@1875 close"}));
  EXPECT_EQ(Music("C8.")[3], "@328 off 0 48");
  EXPECT_EQ(NoteDuration(120, 8, true), 375);
  EXPECT_EQ(NoteDuration(0, 4, false), 0);
  EXPECT_EQ(NoteDuration(9999, 9999, true), 0);
  EXPECT_EQ(NoteDuration(1, 1, true), 360000);
}

TEST_F(SoundTest, ModesSplitTheNoteIntoSoundAndSilence) {
  EXPECT_EQ(Music("MSC"), (Calls{"@0 open", "@0 program 0 0", "@0 on 0 48 100", "@250 off 0 48", "@500 close"}));
  // An unknown mode letter plays and waits nothing; "M" at the end keeps the mode.
  EXPECT_EQ(Music("MXCDE"), (Calls{"@0 open", "@0 program 0 0", "@0 close"}));
  EXPECT_EQ(gSound.music.mode, 'X');
  EXPECT_EQ(Music("mlM"), (Calls{"@0 open", "@0 program 0 0", "@0 close"}));
  EXPECT_EQ(gSound.music.mode, 'L');
}

TEST_F(SoundTest, SettingsChangeTheFollowingNotes) {
  EXPECT_EQ(Music("T60 L2 V90 O2 K3 I19 G P4 >A <<<<B"),
            (Calls{"@0 open", "@0 program 0 0", "@0 program 3 19",
                   "@0 on 3 31 90", "@1750 off 3 31",    // half note at 60: 2000 ms
                   // the pause: a quarter, 1000 ms
                   "@3000 on 3 45 90", "@4750 off 3 45",  // octave 3
                   "@5000 on 3 11 90", "@6750 off 3 11",  // octave 0 is the lowest
                   "@7000 close"}));
  EXPECT_EQ(gSound.music.octave, 0);
}

TEST_F(SoundTest, OutOfRangeNumbersAreKeptInRange) {
  // Channel 20 selects channel 0; volume, instrument and octave are cut.
  EXPECT_EQ(Music("K20 V999 I300 O9 B# >>C"),
            (Calls{"@0 open", "@0 program 0 0", "@0 program 0 127", "@0 on 0 84 127", "@437 off 0 84",
                   "@499 on 0 72 127", "@936 off 0 72", "@998 close"}));
  EXPECT_EQ(gSound.music.channel, 0);
  EXPECT_EQ(gSound.music.instrument, 127);
  EXPECT_EQ(gSound.music.volume, 999);  // kept, cut when a note is played
  // Numbers are at most four digits: the fifth is a character of its own.
  Music("T12345");
  EXPECT_EQ(gSound.music.tempo, 1234);
}

TEST_F(SoundTest, SilentNotesAndOddPausesKeepTheTime) {
  // C at octave 0 is note 0, C- below it: both silent but timed. A pause
  // with an accidental stays a pause.
  EXPECT_EQ(Music("O0 C C- P# D"),
            (Calls{"@0 open", "@0 program 0 0", "@1498 on 0 2 100", "@1935 off 0 2", "@1997 close"}));
  // No tempo or a zero length: notes take no time.
  EXPECT_EQ(Music("T C L0 D"), (Calls{"@0 open", "@0 program 0 0", "@0 on 0 48 100", "@0 off 0 48",
                                       "@0 on 0 50 100", "@0 off 0 50", "@0 close"}));
}

TEST_F(SoundTest, MalformedMusicIsSkippedWithoutFault) {
  // Every character that is no command, and commands without their number.
  EXPECT_EQ(Music("!?#+-.,;:xyzJ&%$\"'()[]{}0123456789\t\xFF\x01"),
            (Calls{"@0 open", "@0 program 0 0", "@0 close"}));
  EXPECT_EQ(Music("OLTVIK"), (Calls{"@0 open", "@0 program 0 0", "@0 program 0 0", "@0 close"}));
  EXPECT_EQ(gSound.music.tempo, 0);
  EXPECT_EQ(gSound.music.length, 0);
  EXPECT_EQ(Music(std::string("C\0D", 3)).size(), 7u);
  EXPECT_EQ(Music(""), (Calls{"@0 open", "@0 program 0 0", "@0 close"}));
}

TEST_F(SoundTest, MusicWithoutMidiPlaysNothing) {
  device.devices = 0;
  EXPECT_EQ(Music("CDE"), Calls{});
  device.devices = 1;
  device.openWorks = false;
  EXPECT_EQ(Music("CDE"), Calls{"@0 open"});
  EXPECT_FALSE(gSound.midiOpen);
}

TEST_F(SoundTest, MusicStatementPlaysItsText) {
  EXPECT_EQ(Run("DECLARE t$\nt$ = \"L8 C\"\nMUSIC t$ + \"D\"\nMUSIC \"E\"\n"), 0);
  EXPECT_EQ(device.calls, (Calls{"@0 open", "@0 program 0 0", "@0 on 0 48 100", "@218 off 0 48",
                                 "@249 on 0 50 100", "@467 off 0 50", "@498 close",
                                 "@498 open", "@498 program 0 0", "@498 on 0 52 100",
                                 "@716 off 0 52", "@747 close"}));
}

TEST_F(SoundTest, ChordSoundsForItsLength) {
  EXPECT_EQ(Run("PLAY 61;65;68, 4, 0\n"), 0);
  EXPECT_EQ(device.calls, (Calls{"@0 open", "@0 on 0 60 127", "@0 on 1 64 127", "@0 on 2 67 127",
                                 "@500 off 0 60", "@500 off 1 64", "@500 off 2 67", "@500 close"}));
  device.calls.clear();
  // The extension adds halves of the length; zero values leave their channel alone.
  EXPECT_EQ(Run("PLAY 0;50, 2, 3\n"), 0);
  EXPECT_EQ(device.calls, (Calls{"@500 open", "@500 on 1 49 127", "@3000 off 1 49", "@3000 close"}));
}

TEST_F(SoundTest, ChordInstrumentsAreKeptForLaterChords) {
  EXPECT_EQ(Run("PLAY 20;-1;300;-5, -1, 0\nPLAY 1;1;1;1, 1, 0\n"), 0);
  EXPECT_EQ(device.calls, (Calls{"@0 open", "@0 close", "@0 open", "@0 program 0 20", "@0 on 0 0 127",
                                 "@0 on 1 0 127", "@0 program 2 127", "@0 on 2 0 127", "@0 on 3 0 127",
                                 "@2000 off 0 0", "@2000 off 1 0", "@2000 off 2 0", "@2000 off 3 0",
                                 "@2000 close"}));
}

TEST_F(SoundTest, HeldChordIsEndedByNegativeValuesOrAtTheEnd) {
  EXPECT_EQ(Run("PLAY 61;65, 0, 0\nPLAY -61, 0, 0\n"), 0);
  EXPECT_EQ(device.calls, (Calls{"@0 open", "@0 on 0 60 127", "@0 on 1 64 127", "@0 off 0 60"}));
  EXPECT_TRUE(gSound.midiOpen);
  // MUSIC shares the open output and leaves it open.
  device.calls.clear();
  PlayMusic("L0 C", nullptr);
  EXPECT_EQ(device.calls, (Calls{"@0 program 0 0", "@0 on 0 48 100", "@0 off 0 48"}));
  device.calls.clear();
  ReleaseSound();
  EXPECT_EQ(device.calls, (Calls{"@0 off 1 64", "@0 control 1 123", "@0 close"}));
  EXPECT_FALSE(gSound.midiOpen);
  EXPECT_FALSE(gSound.chord.AnyHeld());
  device.calls.clear();
  ReleaseSound();
  EXPECT_EQ(device.calls, Calls{});
}

TEST_F(SoundTest, ChordNotesBeyondMidiAreClamped) {
  EXPECT_EQ(Run("PLAY 1000;-1000;-2147483647-1, 0, 0\n"), 0);
  EXPECT_EQ(device.calls, (Calls{"@0 open", "@0 on 0 127 127", "@0 off 1 127", "@0 off 2 127"}));
}

TEST_F(SoundTest, SeventeenChordValuesAreRefused) {
  std::string values = "1";
  for (int i = 0; i < 15; ++i) values += ";1";
  EXPECT_EQ(Run("PLAY " + values + ", 0, 0\n"), 0);
  EXPECT_EQ(device.calls.size(), 17u);  // open and 16 notes
  device.calls.clear();
  ResetSound();
  device.calls.clear();
  EXPECT_EQ(Run("PLAY " + values + ";1, 1, 0\nPRINT \"after\"\n"), 3);
  EXPECT_EQ(device.calls, Calls{});
  EXPECT_NE(AllDebugLines().find("231"), std::string::npos);
  EXPECT_EQ(host.stdoutText, "");
}

TEST_F(SoundTest, ChordWithoutMidiWarns) {
  device.devices = 0;
  EXPECT_EQ(Run("PLAY 61, 4, 0\nPRINT \"on\"\n"), 0);
  EXPECT_EQ(device.calls, Calls{});
  EXPECT_NE(AllDebugLines().find("234"), std::string::npos);
  EXPECT_NE(AllDebugLines().find("Fehler bei der Tonerzeugung!"), std::string::npos);
  device.devices = 1;
  device.openWorks = false;
  EXPECT_EQ(Run("PLAY 61, 4, 0\n"), 0);
  EXPECT_EQ(device.calls, Calls{"@0 open"});
}

TEST_F(SoundTest, ToneAndWaveArguments) {
  // 1000 units of 2.6316 ms are 380 ms; a negative duration plays nothing.
  // Only the flags 1, 2, 8 and 0x10 pass; a loop always plays asynchronously.
  EXPECT_EQ(Run("SOUND 440, 1000\nSOUND 440, -1\nSOUND 880, 1\n"
                "PLAYSOUND \"a.wav\", $FFFF\nPLAYSOUND \"b.wav\", 8\nPLAYSOUND \"c.wav\", 2\n"),
            0);
  EXPECT_EQ(device.calls, (Calls{"@0 tone 440 380", "@0 tone 880 0", "@0 wave a.wav 27",
                                 "@0 wave b.wav 9", "@0 wave c.wav 2"}));
}

TEST_F(SoundTest, ResetPutsTheMusicSettingsBack) {
  Music("T200 O2 MS K5 I7 V50 L8");
  ResetSound();
  const TMusicState start;
  EXPECT_EQ(gSound.music.tempo, start.tempo);
  EXPECT_EQ(gSound.music.octave, start.octave);
  EXPECT_EQ(gSound.music.mode, 'N');
  EXPECT_EQ(gSound.music.channel, 0);
  EXPECT_EQ(gSound.music.instrument, 0);
  EXPECT_EQ(gSound.music.volume, 100);
  EXPECT_EQ(gSound.music.length, 4);
}

}  // namespace
}  // namespace korv
