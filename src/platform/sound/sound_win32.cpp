#include "sound/sound_win32.h"

#include <windows.h>
#include <mmsystem.h>

#include "base/host.h"
#include "base/keep_last_error.h"
#include "sound/sound.h"

namespace korv {

namespace {

// Below this many milliseconds the wait spins on the clock instead of
// sleeping, so that a coarse sleep granularity cannot overshoot the end.
constexpr DWORD kSpinMs = 20;
constexpr DWORD kSleepGranularity = 16;

class Win32SoundDevice : public SoundDevice {
 public:
  uint32_t MidiDeviceCount() override { return midiOutGetNumDevs(); }

  bool OpenMidi() override {
    HMIDIOUT h = nullptr;
    if (midiOutOpen(&h, MIDI_MAPPER, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return false;
    midi_ = h;
    return true;
  }

  void CloseMidi() override {
    if (!midi_) return;
    midiOutClose(midi_);
    midi_ = nullptr;
  }

  // Errors of the MIDI calls are ignored.
  void MidiShort(uint32_t message) override {
    if (midi_) midiOutShortMsg(midi_, message);
  }

  uint32_t Ticks() override { return GetTickCount(); }

  void WaitUntil(uint32_t start, uint32_t ms) override {
    for (;;) {
      DWORD passed = GetTickCount() - start;
      if (passed >= ms) return;
      DWORD left = ms - passed;
      Sleep(left > kSpinMs ? left - kSleepGranularity : 0);
    }
  }

  void Tone(uint32_t frequency, uint32_t ms) override { ::Beep(frequency, ms); }

  void PlayWave(const std::string& file, uint32_t flags) override {
    sndPlaySoundA(file.c_str(), flags);
    waveStarted_ = true;
  }

  void StopWave() override {
    if (!waveStarted_) return;
    KeepLastError keep;
    sndPlaySoundA(nullptr, 0);
    waveStarted_ = false;
  }

  // Program end: notes off and the output closed.
  void Release() {
    KeepLastError keep;
    ReleaseSound();
  }

 private:
  HMIDIOUT midi_ = nullptr;
  bool waveStarted_ = false;
};

Win32SoundDevice gDeviceImpl;

void ReleaseAtEnd() { gDeviceImpl.Release(); }

}  // namespace

void InstallWin32Sound() {
  SetSoundDevice(&gDeviceImpl);
  AtShutdown(ReleaseAtEnd);
}

}  // namespace korv
