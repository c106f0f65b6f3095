// Fuzz target: the music language. Any text must play without fault on a
// recording MIDI sink: every message a valid note on/off or program change
// with data bytes in 0..127, every note ended before the next starts (and no other note ended), the
// clock never asked to wait from the future, the output closed at the end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "sound/sound.h"

namespace {

class CheckingSink : public korv::SoundDevice {
 public:
  uint32_t MidiDeviceCount() override { return 1; }
  bool OpenMidi() override {
    if (open) std::abort();
    open = true;
    return true;
  }
  void CloseMidi() override {
    if (!open || sounding >= 0) std::abort();
    open = false;
  }
  void MidiShort(uint32_t m) override {
    if (!open || (m >> 24) != 0 || ((m >> 8) & 0x80) || ((m >> 16) & 0x80)) std::abort();
    const uint32_t kind = m & 0xF0, note = (m >> 8) & 0x7F, velocity = (m >> 16) & 0x7F;
    if (kind == 0x90 && velocity > 0) {
      if (sounding >= 0 || note == 0) std::abort();
      sounding = static_cast<int>(note);
    } else if (kind == 0x90) {
      // At volume 0 the note on itself is a note off: nothing sounds then.
      if (sounding >= 0 && sounding != static_cast<int>(note)) std::abort();
      sounding = -1;
    } else if (kind != 0xC0) {
      std::abort();
    }
  }
  uint32_t Ticks() override { return now; }
  void WaitUntil(uint32_t start, uint32_t ms) override {
    if (start > now || ms > 400000) std::abort();
    if (start + ms > now) now = start + ms;
  }
  void Tone(uint32_t, uint32_t) override { std::abort(); }
  void PlayWave(const std::string&, uint32_t) override { std::abort(); }
  void StopWave() override {}

  bool open = false;
  int sounding = -1;
  uint32_t now = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static CheckingSink sink;
  korv::SetSoundDevice(&sink);
  korv::ResetSound();
  sink.now = 0;
  korv::PlayMusic(std::string_view(reinterpret_cast<const char*>(data), size), nullptr);
  const korv::TMusicState& m = korv::gSound.music;
  if (sink.open || korv::gSound.midiOpen || m.octave < 0 || m.octave > 6 || m.channel < 0 || m.channel > 15 ||
      m.instrument < 0 || m.instrument > 127)
    std::abort();
  return 0;
}
