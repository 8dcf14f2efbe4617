#pragma once

#include <functional>
#include <string>

#include "playlist/provider_account.h"

// Where a provider account's password is kept: the desktop's secret store
// (secret_store.h) when one runs, else the file "account.secret" in the
// user's folder (account_secret.h), which the user is told of. Saving into
// the secret store removes a file left from a time without one.
//
// Threads: any, but blocking as the secret store is: worker threads only.
namespace lumora {

enum class PasswordPlace { SecretStore, File, Nowhere };

struct KeptPassword {
    std::string password;  // empty: none is kept
    PasswordPlace place = PasswordPlace::Nowhere;
    bool secretStoreRuns = false;
};

// The account's password: from the secret store, else from the file. A file
// beside a running secret store was written while the store was away, after
// any password the store holds, so it wins and moves into the store.
KeptPassword LoadAccountPassword(const std::string& server, const std::string& user,
                                 const std::string& folder);

// What confirming the account in the settings does with its password.
// `before` is the account as it was stored (its password unused), `now` the
// one confirmed, with the password typed (empty: keep the one kept):
//   - `now` without a server or user: the password is forgotten everywhere;
//   - a typed password is kept for `now`;
//   - none typed, but another server or user: the kept one moves to them.
// Returns where the password of `now` is kept afterwards.
PasswordPlace KeepAccountPassword(const ProviderAccount& before, const ProviderAccount& now,
                                  const std::string& folder);

// The secret store's work, one piece after another on a thread of its own
// in the order it was handed over: the UI thread hands work over and never
// waits, and a password saved is what the next read sees. False when no
// thread could be started (the work is then dropped). Any thread.
bool QueuePasswordWork(std::function<void()> work);
// LoadAccountPassword through that queue, waited for. For workers only:
// never the UI thread, never work on the queue itself.
KeptPassword LoadAccountPasswordQueued(const std::string& server, const std::string& user,
                                       const std::string& folder);

}  // namespace lumora
