// SOUND, PLAYSOUND, PLAY and MUSIC.
#include <algorithm>
#include <array>
#include <bitset>
#include <cmath>
#include <cstdint>

#include "base/errors.h"
#include "base/host.h"
#include "base/names.h"
#include "sound/midi_port.h"
#include "sound/sound.h"
#include "values/evaluator.h"

namespace korv {

namespace {

constexpr int32_t kSoundFailed = 234;
constexpr int32_t kTooManyValues = 231;
constexpr double kSoundDurationUnit = 2.6316;  // SOUND's duration unit in ms
// Wave-player flags that pass: asynchronous, no default sound, loop, no stop.
constexpr uint32_t kWaveAsync = 0x1;
constexpr uint32_t kWaveLoop = 0x8;
constexpr uint32_t kWaveFlagsPassed = 0x1B;
constexpr int32_t kChordMs = 2000;  // PLAY length 1 lasts two seconds
constexpr int32_t kSetInstruments = -1;
constexpr int64_t kLongestWait = 0x7FFFFFFF;

void PumpOnce() { host().PumpMessages(); }

void CmdSound(TParStack& ps) {
  int32_t frequency = EvalInt(ps, ',');
  if (gEval.failed) return;
  int32_t duration = EvalInt(ps, ' ');
  if (gEval.failed) return;
  // A negative duration would become a wait of weeks: it plays nothing.
  if (duration < 0) return;
  if (SoundDevice* d = GetSoundDevice())
    d->Tone(static_cast<uint32_t>(frequency), static_cast<uint32_t>(std::lround(duration / kSoundDurationUnit)));
}

void CmdPlaySound(TParStack& ps) {
  std::string file = EvalString(ps, ',');
  if (gEval.failed) return;
  uint32_t flags = static_cast<uint32_t>(EvalInt(ps, ' ')) & kWaveFlagsPassed;
  if (gEval.failed) return;
  // A loop played synchronously would never return.
  if (flags & kWaveLoop) flags |= kWaveAsync;
  if (SoundDevice* d = GetSoundDevice()) d->PlayWave(file, flags);
}

struct ChordArgs {
  std::array<int32_t, kMidiChannels> values{};
  int count = 0;
  int32_t length = 0, extension = 0;
};

// n1; n2; ...; nk, length, extension. False after an error report; more
// than one value per channel is refused before anything sounds.
bool ReadChord(TParStack& ps, ChordArgs& a) {
  for (;;) {
    int32_t v = EvalInt(ps, ',');
    if (gEval.failed) return false;
    if (a.count == kMidiChannels) {
      gEval.pos = gEval.text.size();
      RaiseError(kTooManyValues, "PLAY");
      return false;
    }
    a.values[a.count++] = v;
    if (gEval.lastSep != ';') break;
  }
  a.length = EvalInt(ps, ',');
  if (gEval.failed) return false;
  a.extension = EvalInt(ps, ' ');
  return !gEval.failed;
}

int32_t ClampNote(int64_t n) { return static_cast<int32_t>(std::clamp<int64_t>(n, 0, kMidiDataMax)); }

// Sounds the values on their channels; returns the notes it started.
std::array<std::bitset<kMidiDataMax + 1>, kMidiChannels> StartChord(SoundDevice& d, const ChordArgs& a) {
  std::array<std::bitset<kMidiDataMax + 1>, kMidiChannels> started;
  TChordState& chord = gSound.chord;
  for (int ch = 0; ch < a.count; ++ch) {
    if (chord.instrument[ch] != -1) d.MidiShort(MidiProgram(ch, chord.instrument[ch]));
    int32_t v = a.values[ch];
    if (v > 0) {
      int32_t note = ClampNote(static_cast<int64_t>(v) - 1);
      d.MidiShort(MidiNoteOn(ch, note, kMidiDataMax));
      chord.held[ch].set(note);
      started[ch].set(note);
    } else if (v < 0) {
      int32_t note = ClampNote(-static_cast<int64_t>(v) - 1);
      d.MidiShort(MidiNoteOff(ch, note));
      chord.held[ch].reset(note);
    }
  }
  return started;
}

void CmdPlay(TParStack& ps) {
  ChordArgs a;
  if (!ReadChord(ps, a)) return;
  SoundDevice* d = GetSoundDevice();
  const uint32_t start = d ? d->Ticks() : 0;
  if (!midi::Acquire()) {
    RaiseWarning(kSoundFailed);
    return;
  }
  if (a.length == kSetInstruments) {
    for (int ch = 0; ch < a.count; ++ch) gSound.chord.instrument[ch] = std::clamp(a.values[ch], -1, kMidiDataMax);
  } else if (a.length >= 0) {
    auto started = StartChord(*d, a);
    if (a.length > 0) {
      int64_t base = kChordMs / a.length;
      int64_t ms = std::clamp<int64_t>(base + a.extension * base / 2, 0, kLongestWait);
      d->WaitUntil(start, static_cast<uint32_t>(ms));
      for (int ch = 0; ch < kMidiChannels; ++ch)
        for (int n = 0; n <= kMidiDataMax; ++n)
          if (started[ch][n]) {
            d->MidiShort(MidiNoteOff(ch, n));
            gSound.chord.held[ch].reset(n);
          }
    }
  }
  midi::CloseUnlessHeld();
}

void CmdMusic(TParStack& ps) {
  std::string text = EvalString(ps, ' ');
  if (gEval.failed) return;
  PlayMusic(text, PumpOnce);
}

}  // namespace

void RegisterSoundCommands() {
#define KORV_UNIT_sound 1
#include "base/bind_unit.h"
#undef KORV_UNIT_sound
}

}  // namespace korv
