#pragma once

#include <string>
#include <string_view>

// The desktop's secret store: the Secret Service (GNOME Keyring, KWallet,
// KeePassXC) on the session bus, through libsecret. A provider account's
// password is filed under the account's server and user name. Nothing of
// libsecret or GLib shows in this header.
//
// Threads: any, one call at a time (calls are serialised), but every call
// blocks: it waits on the session bus, and where the keyring is locked, on
// the user answering the desktop's unlock prompt. The program calls these
// from worker threads only.
namespace lumora {

enum class SecretStoreStatus {
    Done,
    NotFound,     // the store runs but keeps no password for the account
    Unavailable,  // no session bus, no secret service, or it failed
};

struct SecretLookup {
    SecretStoreStatus status = SecretStoreStatus::Unavailable;
    std::string password;  // Done only
};

// Files `password` for the account, replacing what was kept for it.
SecretStoreStatus StoreSecret(std::string_view server, std::string_view user,
                              std::string_view password);
SecretLookup LookupSecret(std::string_view server, std::string_view user);
// Done also when there was nothing to remove.
SecretStoreStatus ClearSecret(std::string_view server, std::string_view user);

}  // namespace lumora
