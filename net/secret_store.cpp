#include "net/secret_store.h"

#include <libsecret/secret.h>

#include <memory>
#include <mutex>

namespace lumora {
namespace {

const SecretSchema* AccountSchema() {
    static const SecretSchema schema = [] {
        SecretSchema made{};
        made.name = "org.lumora.ProviderAccount";
        made.flags = SECRET_SCHEMA_NONE;
        made.attributes[0] = {"server", SECRET_SCHEMA_ATTRIBUTE_STRING};
        made.attributes[1] = {"user", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return made;
    }();
    return &schema;
}

struct ErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};
using ErrorPointer = std::unique_ptr<GError, ErrorFree>;

struct PasswordFree {
    void operator()(gchar* password) const { secret_password_free(password); }
};
using PasswordPointer = std::unique_ptr<gchar, PasswordFree>;

// libsecret keeps one connection for the process; one call at a time keeps
// its setup from racing between workers.
std::mutex& StoreMutex() {
    static std::mutex mutex;
    return mutex;
}

// Without a session bus there is nothing to ask, and asking fails at once.
// GLib ends a process whose shared bus connection closes unless told
// otherwise: a player must not quit because the desktop's bus went away.
bool SessionBusReachable() {
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    ErrorPointer failure(error);
    if (bus == nullptr || g_dbus_connection_is_closed(bus)) {
        if (bus != nullptr)
            g_object_unref(bus);
        return false;
    }
    g_dbus_connection_set_exit_on_close(bus, FALSE);
    g_object_unref(bus);
    return true;
}

}  // namespace

SecretStoreStatus StoreSecret(std::string_view server, std::string_view user,
                              std::string_view password) {
    const std::lock_guard lock(StoreMutex());
    if (!SessionBusReachable())
        return SecretStoreStatus::Unavailable;
    const std::string serverText(server), userText(user), secret(password);
    const std::string label = "Lumora: " + userText + " at " + serverText;
    GError* error = nullptr;
    const gboolean stored = secret_password_store_sync(
        AccountSchema(), SECRET_COLLECTION_DEFAULT, label.c_str(), secret.c_str(), nullptr, &error,
        "server", serverText.c_str(), "user", userText.c_str(), nullptr);
    const ErrorPointer failure(error);
    return stored && !failure ? SecretStoreStatus::Done : SecretStoreStatus::Unavailable;
}

SecretLookup LookupSecret(std::string_view server, std::string_view user) {
    const std::lock_guard lock(StoreMutex());
    if (!SessionBusReachable())
        return {};
    const std::string serverText(server), userText(user);
    GError* error = nullptr;
    const PasswordPointer password(secret_password_lookup_sync(AccountSchema(), nullptr, &error,
                                                               "server", serverText.c_str(), "user",
                                                               userText.c_str(), nullptr));
    const ErrorPointer failure(error);
    if (failure)
        return {};
    if (!password)
        return {SecretStoreStatus::NotFound, {}};
    return {SecretStoreStatus::Done, password.get()};
}

SecretStoreStatus ClearSecret(std::string_view server, std::string_view user) {
    const std::lock_guard lock(StoreMutex());
    if (!SessionBusReachable())
        return SecretStoreStatus::Unavailable;
    const std::string serverText(server), userText(user);
    GError* error = nullptr;
    secret_password_clear_sync(AccountSchema(), nullptr, &error, "server", serverText.c_str(),
                               "user", userText.c_str(), nullptr);
    const ErrorPointer failure(error);
    return failure ? SecretStoreStatus::Unavailable : SecretStoreStatus::Done;
}

}  // namespace lumora
