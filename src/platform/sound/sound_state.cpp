// The sound state of a run, the MIDI output and the packing of MIDI messages.
#include <algorithm>

#include "sound/midi_port.h"
#include "sound/sound.h"

namespace korv {

TSoundState gSound;

namespace {

SoundDevice* gDevice = nullptr;

constexpr uint32_t kNoteOn = 0x90;
constexpr uint32_t kControlChange = 0xB0;
constexpr uint32_t kProgramChange = 0xC0;
constexpr int32_t kAllNotesOffController = 0x7B;

uint32_t Data(int32_t v) { return static_cast<uint32_t>(std::clamp(v, 0, kMidiDataMax)); }
uint32_t Status(uint32_t kind, int32_t channel) {
  return kind | static_cast<uint32_t>(std::clamp(channel, 0, kMidiChannels - 1));
}
uint32_t Pack(uint32_t status, int32_t d1, int32_t d2) { return status | Data(d1) << 8 | Data(d2) << 16; }

}  // namespace

void SetSoundDevice(SoundDevice* device) { gDevice = device; }
SoundDevice* GetSoundDevice() { return gDevice; }

bool TChordState::AnyHeld() const {
  return std::any_of(held.begin(), held.end(), [](const auto& notes) { return notes.any(); });
}

uint32_t MidiNoteOn(int32_t channel, int32_t note, int32_t velocity) {
  return Pack(Status(kNoteOn, channel), note, velocity);
}
uint32_t MidiNoteOff(int32_t channel, int32_t note) { return Pack(Status(kNoteOn, channel), note, 0); }
uint32_t MidiProgram(int32_t channel, int32_t program) {
  return Pack(Status(kProgramChange, channel), program, 0);
}
uint32_t MidiAllNotesOff(int32_t channel) {
  return Pack(Status(kControlChange, channel), kAllNotesOffController, 0);
}

namespace midi {

bool Acquire() {
  if (gSound.midiOpen) return true;
  if (!gDevice || gDevice->MidiDeviceCount() == 0) return false;
  gSound.midiOpen = gDevice->OpenMidi();
  return gSound.midiOpen;
}

void CloseUnlessHeld() {
  if (!gSound.midiOpen || gSound.chord.AnyHeld()) return;
  gDevice->CloseMidi();
  gSound.midiOpen = false;
}

}  // namespace midi

void ReleaseSound() {
  if (!gDevice) return;
  if (gSound.midiOpen) {
    for (int ch = 0; ch < kMidiChannels; ++ch) {
      auto& notes = gSound.chord.held[ch];
      if (notes.none()) continue;
      for (int n = 0; n <= kMidiDataMax; ++n)
        if (notes[n]) gDevice->MidiShort(MidiNoteOff(ch, n));
      gDevice->MidiShort(MidiAllNotesOff(ch));
      notes.reset();
    }
    gDevice->CloseMidi();
    gSound.midiOpen = false;
  }
  gDevice->StopWave();
}

void ResetSound() {
  ReleaseSound();
  gSound = TSoundState{};
}

}  // namespace korv
