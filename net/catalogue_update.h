#pragma once

#include <string>

#include "net/update_logic.h"
#include "net/update_logic_run.h"

// The catalogue update as the program uses it: the update logic tied to the
// process-wide catalogue and the settings. Standard library only.
//
// Threads: the UI thread only (these read the live catalogue and settings).
namespace lumora {

// The update server: the "update_server" setting, by default the server the
// program was built for.
std::u16string UpdateServer();

// The server, the catalogue's version text and file path copied from the
// catalogue in use, and the fetch function to use.
UpdateSource CurrentUpdateSource(FetchFunction fetch);

// The player view's start: when "AutoCU" is on (default), starts the
// background check that sets updatePending. Nobody waits for it.
void StartUpdateCheckAtStart(FetchFunction fetch);

}  // namespace lumora
