// Provider passwords in the desktop's secret store: gnome-keyring on a
// private session bus started here, and the file where no secret service
// runs (no bus at all, or a bus without one).

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "net/account_password.h"
#include "net/account_secret.h"
#include "net/secret_store.h"
#include "scratch_folder.h"
#include "server_process.h"

extern char** environ;

namespace lumora::test {
namespace {

constexpr char kSecretsName[] = "org.freedesktop.secrets";

// A bus without the desktop's service files: nothing is started on demand,
// so only what the test starts answers.
constexpr char kBusConfig[] = R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

// Starts `command` with its standard input fed `input` and its standard
// output read into `firstLine` (when asked); -1 when it could not start.
pid_t Start(std::vector<std::string> command, const std::string& input, std::string* firstLine) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> argv;
    for (std::string& argument : command)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    if (pid > 0 && !input.empty())
        (void)!write(in[1], input.data(), input.size());
    close(in[1]);
    for (int waited = 0; pid > 0 && firstLine != nullptr && waited < 200;) {
        pollfd ready{out[0], POLLIN, 0};
        char c;
        if (poll(&ready, 1, 100) <= 0)
            ++waited;
        else if (read(out[0], &c, 1) != 1 || c == '\n')
            break;
        else
            *firstLine += c;
    }
    close(out[0]);
    return pid;
}

void Stop(pid_t pid) {
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
}

bool NameHasOwner(const char* name) {
    const std::string command =
        std::string(
            "dbus-send --session --print-reply --dest=org.freedesktop.DBus "
            "/org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner string:") +
        name + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    std::string reply;
    char buffer[256];
    for (std::size_t n; pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        reply.append(buffer, n);
    if (pipe)
        pclose(pipe);
    return reply.find("boolean true") != std::string::npos;
}

// A private session bus for this test process, with gnome-keyring's secret
// service on it when asked for.
class SecretSession {
public:
    enum class With { Nothing, Keyring };
    explicit SecretSession(With with) {
        WriteFileBytes(home_.Path("bus.conf"), kBusConfig);
        std::string address;
        bus_ = Start(
            {"dbus-daemon", "--nofork", "--print-address=1", "--config-file=" + home_ / "bus.conf"},
            {}, &address);
        if (address.empty())
            return;
        setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
        busReady_ = true;
        if (with == With::Nothing)
            return;
        // The keyring's files go to the scratch folder; the unlock password
        // on standard input creates its login keyring.
        for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
            setenv(name, home_.Path().c_str(), 1);
        keyring_ =
            Start({"gnome-keyring-daemon", "--foreground", "--unlock", "--components=secrets"},
                  "lumora-test", nullptr);
        for (int tries = 0; keyring_ > 0 && tries < 200 && !keyringReady_; ++tries) {
            keyringReady_ = NameHasOwner(kSecretsName);
            if (!keyringReady_)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~SecretSession() {
        Stop(keyring_);
        Stop(bus_);
    }
    bool BusReady() const { return busReady_; }
    bool KeyringReady() const { return keyringReady_; }
    std::string Folder() const { return home_.Path().string(); }

private:
    ScratchFolder home_;
    pid_t bus_ = -1;
    pid_t keyring_ = -1;
    bool busReady_ = false;
    bool keyringReady_ = false;
};

bool FileKept(const std::string& folder) {
    return std::filesystem::exists(std::filesystem::path(folder) / kAccountSecretFileName);
}

// Each call, with the secret store away, returns rather than waits.
template <typename Call>
auto WithoutHanging(Call call) {
    auto result = std::async(std::launch::async, call);
    EXPECT_EQ(result.wait_for(std::chrono::seconds(20)), std::future_status::ready)
        << "a secret store call hung without a secret service";
    return result.get();
}

TEST(SecretStoreTest, WithoutASecretServiceThePasswordGoesToTheUsersOwnFile) {
    for (const bool withBus : {false, true}) {
        SCOPED_TRACE(withBus ? "a bus without a secret service" : "no bus");
        std::unique_ptr<SecretSession> session;
        if (withBus) {
            session = std::make_unique<SecretSession>(SecretSession::With::Nothing);
            if (!session->BusReady()) {
                GTEST_SKIP() << "dbus-daemon could not start a private session bus";
            }
        } else {
            setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/lumora-bus", 1);
        }
        ScratchFolder folder;
        const ProviderAccount account{"http://p.example:8080", "viewer", "s3cret"};
        EXPECT_EQ(
            WithoutHanging([] { return LookupSecret("http://p.example:8080", "viewer"); }).status,
            SecretStoreStatus::Unavailable);
        EXPECT_EQ(WithoutHanging([&] { return KeepAccountPassword({}, account, folder / ""); }),
                  PasswordPlace::File);
        struct stat info {};
        ASSERT_EQ(::stat((folder / kAccountSecretFileName).c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
        const KeptPassword kept = LoadAccountPassword(account.server, account.user, folder / "");
        EXPECT_EQ(kept.password, "s3cret");
        EXPECT_EQ(kept.place, PasswordPlace::File);
        EXPECT_FALSE(kept.secretStoreRuns);
    }
}

TEST(SecretStoreTest, TheKeyringKeepsReplacesMovesAndForgetsThePassword) {
    SecretSession session(SecretSession::With::Keyring);
    if (!session.BusReady() || !session.KeyringReady()) {
        GTEST_SKIP() << "gnome-keyring-daemon did not offer " << kSecretsName
                     << " on a private session bus here";
    }
    const std::string folder = session.Folder();
    const ProviderAccount none;
    const ProviderAccount viewer{"http://p.example:8080", "viewer", ""};
    const ProviderAccount other{"http://p.example:8080", "other", ""};
    const auto typed = [](ProviderAccount account, const char* password) {
        account.password = password;
        return account;
    };
    struct Step {
        const char* what;
        ProviderAccount before, now;
        bool leftoverFile;  // a file from a time without the store lies there
        PasswordPlace place;
        std::string viewerPassword, otherPassword;
    };
    const Step steps[] = {
        {"stored", none, typed(viewer, "first"), true, PasswordPlace::SecretStore, "first", ""},
        {"read back", viewer, viewer, false, PasswordPlace::SecretStore, "first", ""},
        {"replaced", viewer, typed(viewer, "second"), false, PasswordPlace::SecretStore, "second",
         ""},
        {"moved with the user name", viewer, other, false, PasswordPlace::SecretStore, "",
         "second"},
        {"a newer file moves in", other, other, true, PasswordPlace::SecretStore, "", "from file"},
        {"forgotten", other, none, false, PasswordPlace::Nowhere, "", ""},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        if (step.leftoverFile) {
            ASSERT_TRUE(SaveAccountSecret(folder, "from file"));
        }
        EXPECT_EQ(KeepAccountPassword(step.before, step.now, folder), step.place);
        EXPECT_FALSE(FileKept(folder)) << "the secret store took over the file's password";
        EXPECT_EQ(LookupSecret(viewer.server, viewer.user).password, step.viewerPassword);
        EXPECT_EQ(LookupSecret(other.server, other.user).password, step.otherPassword);
    }
    const KeptPassword kept = LoadAccountPassword(viewer.server, viewer.user, folder);
    EXPECT_TRUE(kept.secretStoreRuns);
    EXPECT_EQ(kept.place, PasswordPlace::Nowhere);
}

}  // namespace
}  // namespace lumora::test
