#pragma once

// The short sound of a tab change ("MenuPop"): the freedesktop sound event
// "menu-popup", played through libcanberra where the library and a sound
// server exist, silently skipped otherwise.
//
// The library is opened at the first request, on a worker thread, so that
// neither loading it nor reaching the sound server can hold up the user
// interface. While one request is being played, further ones are dropped.
//
// Threads: PlayMenuPopSound and MenuPopSoundRequests on the UI thread.

namespace lumora {

// Starts the sound and returns at once.
void PlayMenuPopSound();

// How many times the sound was asked for since the program started (tests).
int MenuPopSoundRequests();

}  // namespace lumora
