// Tones, wave files, MIDI chords and the music language: SOUND, PLAYSOUND,
// PLAY and MUSIC.
//
// The statements, the music-language reader and the note timing live here
// and know nothing of Windows; the speaker, the wave player, the MIDI output
// and the millisecond clock sit behind the SoundDevice seam. Without a device
// (native programs) there is no MIDI output and nothing sounds.
#pragma once
#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>

namespace korv {

class SoundDevice {
 public:
  virtual ~SoundDevice() = default;
  // Number of MIDI output devices the system has.
  virtual uint32_t MidiDeviceCount() = 0;
  // Opens / closes the MIDI mapper; Open is only called while it is closed.
  virtual bool OpenMidi() = 0;
  virtual void CloseMidi() = 0;
  // One packed short message (status, data 1 << 8, data 2 << 16).
  virtual void MidiShort(uint32_t message) = 0;
  // Millisecond clock, and waiting until ms have passed since start (the
  // wait does not pump messages).
  virtual uint32_t Ticks() = 0;
  virtual void WaitUntil(uint32_t start, uint32_t ms) = 0;
  // A tone on the speaker; returns when it has ended.
  virtual void Tone(uint32_t frequency, uint32_t ms) = 0;
  // A wave file with the flags of the wave player; StopWave ends a sound
  // that still plays (a loop).
  virtual void PlayWave(const std::string& file, uint32_t flags) = 0;
  virtual void StopWave() = 0;
};

void SetSoundDevice(SoundDevice* device);
SoundDevice* GetSoundDevice();

constexpr int kMidiChannels = 16;
constexpr int kMidiDataMax = 127;
constexpr int kOctaveCount = 7;
constexpr int32_t kPauseValue = 255;

// The music language's settings; they last for the whole run.
struct TMusicState {
  int32_t tempo = 120;      // quarter notes per minute
  int32_t volume = 100;     // velocity (cut to 127 when a note is played)
  int32_t length = 4;       // default note length, 4 = quarter
  int32_t octave = 4;       // index into the octave table, kept in 0..6
  char mode = 'N';          // 'L' legato, 'N' normal, 'S' staccato
  int32_t channel = 0;      // 0..15
  int32_t instrument = 0;   // program number, kept in 0..127
};

// PLAY's chord: an instrument per channel (-1 = leave it alone) and the
// notes held since a PLAY with length 0.
struct TChordState {
  std::array<int32_t, kMidiChannels> instrument;
  std::array<std::bitset<kMidiDataMax + 1>, kMidiChannels> held;
  TChordState() { instrument.fill(-1); }
  bool AnyHeld() const;
};

struct TSoundState {
  TMusicState music;
  TChordState chord;
  bool midiOpen = false;
};
extern TSoundState gSound;

// Packed MIDI messages; every data byte is clamped to 0..127 first.
uint32_t MidiNoteOn(int32_t channel, int32_t note, int32_t velocity);
uint32_t MidiNoteOff(int32_t channel, int32_t note);  // note on, velocity 0
uint32_t MidiProgram(int32_t channel, int32_t program);
uint32_t MidiAllNotesOff(int32_t channel);

// Note length in milliseconds at a tempo (0 when tempo x length < 1).
int32_t NoteDuration(int32_t tempo, int32_t length, bool dotted);

// Plays text in the music language on the device (nothing without one or
// when the MIDI mapper cannot be opened). pump runs the window messages
// once after every character; may be nullptr.
void PlayMusic(std::string_view text, void (*pump)());

// Program end: held notes released, the MIDI output closed, a looping wave
// stopped. ResetSound also puts the music settings back to the start.
void ReleaseSound();
void ResetSound();
// Registers SOUND, PLAYSOUND, PLAY and MUSIC.
void RegisterSoundCommands();

}  // namespace korv
