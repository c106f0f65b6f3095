// The music language: a text of notes, pauses and settings read character
// by character and played note by note on the MIDI output.
#include <algorithm>
#include <cctype>

#include "sound/midi_port.h"
#include "sound/sound.h"

namespace korv {

namespace {

// Note values of the letters A..G within an octave.
constexpr int32_t kLetterValue[] = {9, 11, 0, 2, 4, 5, 7};
constexpr int32_t kOctaveOffset[kOctaveCount] = {0, 12, 24, 36, 48, 60, 72};
constexpr int kMaxDigits = 4;
constexpr int32_t kWholeNoteAtTempo1 = 240000;  // ms of a whole note at 1 quarter per minute

class MusicReader {
 public:
  MusicReader(std::string_view text, SoundDevice& device) : device_(device) {
    for (char c : text)
      if (c != ' ') text_.push_back(c);
  }

  void Play(void (*pump)()) {
    TMusicState& m = gSound.music;
    device_.MidiShort(MidiProgram(m.channel, m.instrument));
    while (pos_ < text_.size()) {
      Step(Upper(text_[pos_++]));
      if (pump) pump();
    }
  }

 private:
  static char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }
  bool More() const { return pos_ < text_.size(); }
  bool DigitNext() const { return More() && text_[pos_] >= '0' && text_[pos_] <= '9'; }

  // The run of up to four digits at the reading position; 0 when there is none.
  int32_t Number() {
    int32_t n = 0;
    for (int i = 0; i < kMaxDigits && DigitNext(); ++i) n = n * 10 + (text_[pos_++] - '0');
    return n;
  }

  static int32_t ClampOctave(int32_t o) { return std::clamp(o, 0, kOctaveCount - 1); }

  void Step(char c) {
    TMusicState& m = gSound.music;
    switch (c) {
      case 'A': case 'B': case 'C': case 'D': case 'E': case 'F': case 'G':
        return Note(kLetterValue[c - 'A']);
      case 'P': return Note(kPauseValue);
      case '<': m.octave = ClampOctave(m.octave - 1); return;
      case '>': m.octave = ClampOctave(m.octave + 1); return;
      case 'O': m.octave = ClampOctave(Number()); return;
      case 'L': m.length = Number(); return;
      case 'T': m.tempo = Number(); return;
      case 'V': m.volume = Number(); return;
      case 'I':
        m.instrument = std::min(Number(), kMidiDataMax);
        device_.MidiShort(MidiProgram(m.channel, m.instrument));
        return;
      case 'K': {
        int32_t n = Number();
        m.channel = n < kMidiChannels ? n : 0;
        return;
      }
      case 'M':
        if (More()) m.mode = Upper(text_[pos_++]);
        return;
      default: return;  // anything else is skipped
    }
  }

  // A note or pause with its accidental, length and dot. An accidental
  // after a pause is read and ignored: the pause stays a pause.
  void Note(int32_t value) {
    const TMusicState& m = gSound.music;
    const bool pause = value == kPauseValue;
    if (More() && (text_[pos_] == '#' || text_[pos_] == '+')) {
      ++pos_;
      if (!pause) ++value;
    } else if (More() && text_[pos_] == '-') {
      ++pos_;
      if (!pause) --value;
    }
    int32_t length = DigitNext() ? Number() : m.length;
    bool dotted = More() && text_[pos_] == '.';
    if (dotted) ++pos_;
    const int32_t d = NoteDuration(m.tempo, length, dotted);
    const uint32_t start = device_.Ticks();
    if (pause) return device_.WaitUntil(start, d);
    Sound(value + kOctaveOffset[m.octave], d, start);
  }

  // Note on, the sounding part, note off, the silent part; both measured
  // from the start of the note. Note numbers of 0 and below stay silent.
  void Sound(int32_t note, int32_t d, uint32_t start) {
    const TMusicState& m = gSound.music;
    int32_t sounding, silent;
    switch (m.mode) {
      case 'L': sounding = d; silent = 0; break;
      case 'N': sounding = d * 7 / 8; silent = d / 8; break;
      case 'S': sounding = d * 4 / 8; silent = d * 4 / 8; break;
      default: return;  // an unknown mode plays and waits nothing
    }
    const bool audible = note > 0;
    if (audible) device_.MidiShort(MidiNoteOn(m.channel, note, std::min(m.volume, kMidiDataMax)));
    device_.WaitUntil(start, static_cast<uint32_t>(sounding));
    if (audible) device_.MidiShort(MidiNoteOff(m.channel, note));
    if (silent > 0) device_.WaitUntil(start, static_cast<uint32_t>(sounding + silent));
  }

  SoundDevice& device_;
  std::string text_;
  size_t pos_ = 0;
};

}  // namespace

int32_t NoteDuration(int32_t tempo, int32_t length, bool dotted) {
  if (static_cast<int64_t>(tempo) * length < 1) return 0;
  int32_t d = kWholeNoteAtTempo1 / tempo / length;
  return dotted ? d + d / 2 : d;
}

void PlayMusic(std::string_view text, void (*pump)()) {
  SoundDevice* device = GetSoundDevice();
  if (!device || !midi::Acquire()) return;
  MusicReader(text, *device).Play(pump);
  midi::CloseUnlessHeld();
}

}  // namespace korv
