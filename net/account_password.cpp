#include "net/account_password.h"

#include <condition_variable>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "net/account_secret.h"
#include "net/secret_store.h"

namespace lumora {
namespace {

bool HasAccount(const ProviderAccount& account) {
    return !account.server.empty() && !account.user.empty();
}

PasswordPlace SavePassword(const std::string& server, const std::string& user,
                           const std::string& password, const std::string& folder) {
    if (StoreSecret(server, user, password) == SecretStoreStatus::Done) {
        ForgetAccountSecret(folder);
        return PasswordPlace::SecretStore;
    }
    return SaveAccountSecret(folder, password) ? PasswordPlace::File : PasswordPlace::Nowhere;
}

// One worker for the process's secret store work. It is never destroyed:
// work may still be running when the program ends.
class PasswordQueue {
public:
    bool Add(std::function<void()> work) {
        const std::lock_guard lock(mutex_);
        if (!started_) {
            try {
                std::thread([this] { Run(); }).detach();
            } catch (const std::system_error&) {
                return false;
            }
            started_ = true;
        }
        work_.push_back(std::move(work));
        ready_.notify_one();
        return true;
    }

private:
    void Run() {
        for (;;) {
            std::function<void()> next;
            {
                std::unique_lock lock(mutex_);
                ready_.wait(lock, [this] { return !work_.empty(); });
                next = std::move(work_.front());
                work_.pop_front();
            }
            next();
        }
    }

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> work_;
    bool started_ = false;
};

PasswordQueue& TheQueue() {
    static PasswordQueue* queue = new PasswordQueue;
    return *queue;
}

}  // namespace

bool QueuePasswordWork(std::function<void()> work) {
    return TheQueue().Add(std::move(work));
}

KeptPassword LoadAccountPasswordQueued(const std::string& server, const std::string& user,
                                       const std::string& folder) {
    auto read = std::make_shared<std::promise<KeptPassword>>();
    std::future<KeptPassword> kept = read->get_future();
    if (!QueuePasswordWork([read, server, user, folder] {
            read->set_value(LoadAccountPassword(server, user, folder));
        }))
        return {};
    return kept.get();
}

KeptPassword LoadAccountPassword(const std::string& server, const std::string& user,
                                 const std::string& folder) {
    KeptPassword kept;
    SecretLookup lookup = LookupSecret(server, user);
    kept.secretStoreRuns = lookup.status != SecretStoreStatus::Unavailable;
    std::string fromFile = LoadAccountSecret(folder);
    if (kept.secretStoreRuns && !fromFile.empty() && !server.empty() && !user.empty()) {
        kept.place = SavePassword(server, user, fromFile, folder);
        kept.password = std::move(fromFile);
        return kept;
    }
    if (lookup.status == SecretStoreStatus::Done && !lookup.password.empty()) {
        kept.password = std::move(lookup.password);
        kept.place = PasswordPlace::SecretStore;
    } else if (!fromFile.empty()) {
        kept.password = std::move(fromFile);
        kept.place = PasswordPlace::File;
    }
    return kept;
}

PasswordPlace KeepAccountPassword(const ProviderAccount& before, const ProviderAccount& now,
                                  const std::string& folder) {
    const bool sameAccount = before.server == now.server && before.user == now.user;
    if (!HasAccount(now)) {
        if (HasAccount(before))
            ClearSecret(before.server, before.user);
        ForgetAccountSecret(folder);
        return PasswordPlace::Nowhere;
    }
    std::string password = now.password;
    if (password.empty()) {
        const KeptPassword kept = HasAccount(before)
                                      ? LoadAccountPassword(before.server, before.user, folder)
                                      : LoadAccountPassword(now.server, now.user, folder);
        // The file belongs to whatever account is set; only the store files
        // passwords under a server and user.
        if (sameAccount || kept.place != PasswordPlace::SecretStore)
            return kept.place;
        password = kept.password;
    }
    const PasswordPlace place = SavePassword(now.server, now.user, password, folder);
    if (!sameAccount && HasAccount(before) && place != PasswordPlace::Nowhere)
        ClearSecret(before.server, before.user);
    return place;
}

}  // namespace lumora
