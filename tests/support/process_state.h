#pragma once

// What every test fixture puts back before and after its tests.

namespace lumora::test {

// Puts back what tests change in the process: the settings, and what the
// layers above added (AddProcessStateReset), such as the shell's hooks and
// the channel list's remembered choices. Data a fixture loads on purpose (a language
// pack, the interface resources and the catalogue's way to their pictures)
// stays: the fixture that loads it releases it.
void ResetProcessState();

// Adds a layer's own part to every later ResetProcessState; the test
// programs of that layer add it once, before their tests run.
void AddProcessStateReset(void (*reset)());

}  // namespace lumora::test
