#pragma once

#include <string>

namespace lumora {

// Makes a channel or country name from a catalogue safe to show: control
// characters go (line breaks and tabs become a space, so words stay apart),
// and so do the bidirectional embedding, override and isolate characters
// (U+202A..U+202E, U+2066..U+2069), so "\u202Eevil.exe\u202C TV" cannot
// show as "exe.live TV". A clean name is left as it is, without copying.
void RemoveHiddenControls(std::u16string& name);

}  // namespace lumora
