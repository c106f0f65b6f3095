// The one MIDI output that MUSIC and PLAY share: opened on first need and
// kept open while PLAY holds notes.
#pragma once

namespace korv::midi {

// Opens the MIDI mapper unless it is open; false when the system has no
// MIDI device or the mapper cannot be opened (or there is no sound device).
bool Acquire();
// Closes the output unless notes are still held.
void CloseUnlessHeld();

}  // namespace korv::midi
