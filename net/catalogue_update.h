#pragma once

#include <future>
#include <optional>
#include <string>

#include "net/update_logic.h"
#include "net/update_logic_run.h"

// The catalogue update as the program uses it: the update logic tied to the
// process-wide catalogue and the settings. Standard library only.
//
// Threads: the UI thread only (these read the live catalogue and settings).
namespace lumora {

// The update source: the "update_server" setting when the user set one,
// else the built-in default (which is never written to the settings). In
// settings written before the source was stored as typed, the old built-in
// default "http://localhost:8080" counts as unset (once).
std::u16string UpdateServer();
// The provider account of the settings ("account_server", "account_user"),
// without its password (which is kept apart); none unless both are there.
std::optional<ProviderAccount> CurrentAccount();
// The built-in default source.
std::u16string DefaultUpdateServer();
// What the settings dialog stores: the address as typed (without blanks
// around it); an empty one forgets the setting. True when the source in use
// changed; a pending update from the old source is then dropped from `updates`.
bool SetUpdateServer(const std::u16string& address, UpdateState& updates);

// The server, the catalogue's version text and file path copied from the
// catalogue in use, and the fetch function to use. An account's password is
// read by `password` on the worker; without one, from the file beside the
// catalogue in use (account_secret.h).
UpdateSource CurrentUpdateSource(FetchFunction fetch, TransferFunction transfer = {},
                                 AccountPasswordReader password = {});

// The main window's start: when "AutoCU" is on (default), starts the
// background check that sets the pending update of `updates`. The program
// does not wait for it; the future is ready when the check has ended, and
// invalid when none was started.
std::shared_future<void> StartUpdateCheckAtStart(std::shared_ptr<UpdateState> updates,
                                                 FetchFunction fetch,
                                                 TransferFunction transfer = {},
                                                 AccountPasswordReader password = {});

}  // namespace lumora
