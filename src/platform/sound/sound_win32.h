// The winmm side of the sound commands. Included only by files that are
// compiled into the Windows programs.
#pragma once

namespace korv {

// Installs the sound device (speaker, wave player, MIDI mapper, tick clock)
// and the release of held notes at the program's end.
void InstallWin32Sound();

}  // namespace korv
