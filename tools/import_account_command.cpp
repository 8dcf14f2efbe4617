// lumora-data import-account: a provider account's live streams as a
// catalogue, with a report. The password is read from standard input,
// never from the command line, where other users of the machine see it;
// nothing the verb prints holds it.

#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <iostream>
#include <string>
#include <string_view>

#include "document/text_encoding.h"
#include "net/account_fetch.h"
#include "tools/commands.h"

namespace lumora::tools {
namespace {

int Usage(std::string_view problem) {
    std::fprintf(stderr,
                 "lumora-data import-account: %.*s\nusage: lumora-data import-account SERVER USER "
                 "OUT.lmch [--adult]  (the password on standard input)\n",
                 int(problem.size()), problem.data());
    return 2;
}

const char* OutcomeText(AccountImport::Outcome outcome) {
    using Outcome = AccountImport::Outcome;
    switch (outcome) {
    case Outcome::Built: return "active";
    case Outcome::Unreachable: return "the server is not reachable";
    case Outcome::NotAnAccount: return "the server does not answer as a provider account";
    case Outcome::Refused: return "wrong user name or password";
    case Outcome::Expired: return "the account has expired";
    case Outcome::Disabled: return "the account is disabled";
    case Outcome::NoChannels: return "the account has no stream that can be played";
    }
    return "";
}

std::string DateText(std::int64_t utc) {
    const std::time_t at = static_cast<std::time_t>(utc);
    std::tm parts{};
    gmtime_r(&at, &parts);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &parts);
    return text;
}

void Report(const AccountImport& result, std::string_view password) {
    std::string report = std::string("account: ") + OutcomeText(result.outcome);
    if (!result.info.statusText.empty())
        report += " (the server says \"" + result.info.statusText + "\")";
    report += "\n";
    if (result.info.expires)
        report += "expires: " + DateText(*result.info.expires) + "\n";
    report += "channels: " + std::to_string(result.channels) + "\n";
    report += "adult channels hidden: " + std::to_string(result.streams.hiddenAdult) + "\n";
    for (const auto& [reason, count] : result.streams.skipped)
        report += "skipped, " + reason + ": " + std::to_string(count) + "\n";
    // The server's own words come from an untrusted answer.
    std::fputs(MaskSecret(report, password).c_str(), stdout);
}

}  // namespace

int RunImportAccount(const Arguments& args) {
    std::vector<std::string> positional;
    AccountImportOptions options;
    for (const std::string& arg : args) {
        if (arg == "--adult")
            options.showAdult = true;
        else if (arg.starts_with("--"))
            return Usage("unknown option " + arg);
        else
            positional.push_back(arg);
    }
    if (positional.size() != 3)
        return Usage("wrong number of arguments");
    ProviderAccount account;
    const std::optional<std::string> server = NormaliseAccountServer(positional[0]);
    if (!server)
        return Usage("the server must be an http or https address");
    account.server = *server;
    account.user = positional[1];
    std::getline(std::cin, account.password);
    if (!account.password.empty() && account.password.back() == '\r')
        account.password.pop_back();
    if (account.user.empty() || account.password.empty())
        return Usage("the user name and the password must not be empty");

    const AccountImport result = ImportAccount(account, options, FetchOptions{});
    Report(result, account.password);
    if (result.outcome != AccountImport::Outcome::Built)
        return 1;
    // Its stream addresses hold the password: the file is the user's alone,
    // also while it is written.
    const mode_t previous = ::umask(077);
    const bool saved = result.catalogue->SaveToFile(FromUtf8(positional[2]));
    ::umask(previous);
    if (!saved) {
        std::fprintf(stderr, "lumora-data import-account: %s: cannot be written\n",
                     positional[2].c_str());
        return 1;
    }
    ::chmod(positional[2].c_str(), 0600);
    return 0;
}

}  // namespace lumora::tools
