#include "net/update_logic.h"

#include <sys/stat.h>

#include <charconv>
#include <cstdio>
#include <limits>
#include <thread>

#include "catalogue/catalogue_format.h"
#include "catalogue/stream_address.h"
#include "document/doc_node.h"
#include "document/file_stream.h"
#include "document/text_encoding.h"
#include "net/playlist_source.h"

namespace lumora {

namespace {

// Paths on the update server, %S standing for the platform folder.
constexpr std::u16string_view kMarkerPath = u"/downloads/%S/cupdate.dat";
constexpr std::u16string_view kCataloguePath = u"/downloads/%S/Channels.lmch";
constexpr std::u16string_view kPlatformFolder = u"mobile";

std::u16string ServerUrl(std::u16string_view server, std::u16string_view pathPattern) {
    while (!server.empty() && server.back() == u'/')
        server.remove_suffix(1);
    std::u16string url(server);
    std::size_t mark = pathPattern.find(u"%S");
    url += pathPattern.substr(0, mark);
    url += kPlatformFolder;
    url += pathPattern.substr(mark + 2);
    return url;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The leading decimal integer of a piece, the way the C library reads one:
// blanks, an optional sign, then digits. Clamped to the 32-bit range.
std::int32_t LeadingInteger(std::string_view piece) {
    std::size_t i = 0;
    while (i < piece.size() && IsBlank(piece[i]))
        ++i;
    bool negative = false;
    if (i < piece.size() && (piece[i] == '+' || piece[i] == '-'))
        negative = piece[i++] == '-';
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1;
    for (; i < piece.size() && IsDigit(piece[i]); ++i) {
        value = value * 10 + (piece[i] - '0');
        if (value > kLimit)
            value = kLimit;
    }
    if (negative)
        return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(value >= kLimit ? kLimit - 1 : value);
}

}  // namespace

std::u16string MarkerUrl(std::u16string_view server) {
    return ServerUrl(server, kMarkerPath);
}
std::u16string CatalogueUrl(std::u16string_view server) {
    return ServerUrl(server, kCataloguePath);
}

VersionNumbers ParseVersion(std::string_view text) {
    VersionNumbers numbers{0, 0, 0, 0};
    std::size_t slot = 0;
    std::size_t start = 0;
    while (slot < numbers.size() && start < text.size()) {
        std::size_t end = text.find('.', start);
        if (end == std::string_view::npos)
            end = text.size();
        if (end > start)  // empty pieces (doubled, leading, trailing dots) do not count
            numbers[slot++] = LeadingInteger(text.substr(start, end - start));
        start = end + 1;
    }
    return numbers;
}

int CompareVersions(std::string_view a, std::string_view b) {
    VersionNumbers left = ParseVersion(a);
    VersionNumbers right = ParseVersion(b);
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (left[i] > right[i])
            return int(i) + 1;
        if (left[i] < right[i])
            return -(int(i) + 1);
    }
    return 0;
}

bool IsVersionText(std::string_view text) {
    bool digitSeen = false;
    for (char c : text) {
        if (IsDigit(c)) {
            digitSeen = true;
        } else if (c == '.' && digitSeen) {
            digitSeen = false;  // a dot must be followed by digits again
        } else {
            return false;
        }
    }
    return digitSeen;
}

FetchReply Transfer(const UpdateSource& source, const TransferRequest& request) {
    if (source.transfer)
        return source.transfer(request);
    FetchReply reply;
    if (source.fetch)
        reply.body = source.fetch(request.url);
    return reply;
}

CheckResult AskServerForNewerCatalogue(const UpdateSource& source) {
    CheckResult result;
    FetchReply reply = Transfer(source, {MarkerUrl(source.server), TransferKind::Marker, {}});
    if (!reply.body) {
        result.answer = CheckAnswer::Unreachable;
        return result;
    }
    // Only the marker's root name matters: it is the newest version text.
    DocNode marker;
    bool readable = marker.ReadFrom(*reply.body);
    reply.body.reset();
    if (!readable)
        return result;
    result.markerRead = true;
    result.version = marker.Name();
    if (CompareVersions(marker.Name(), source.catalogueVersion) > 0)
        result.answer = CheckAnswer::Newer;
    return result;
}

CheckAnswer AskForNewerCatalogue(const UpdateSource& source) {
    return AskServerForNewerCatalogue(source).answer;
}

bool CheckCatalogueUpdate(const UpdateSource& source, UpdateState& state) {
    CheckResult result = AskServerForNewerCatalogue(source);
    if (result.answer == CheckAnswer::Unreachable)
        state.SetOutcome(UpdateOutcome::ConnectionError);
    return result.answer == CheckAnswer::Newer;
}

namespace {

bool HasPlayableStream(const DocNode& channel) {
    char number[16];
    for (int n = 0;; ++n) {
        auto end = std::to_chars(number, number + sizeof number, n).ptr;
        const DocNode* stream = channel.Child(std::string_view(number, end - number));
        if (stream == nullptr)
            return false;
        const DocAttribute* address = stream->FindAttribute(kAddressAttribute);
        if (address != nullptr && address->WString() != nullptr &&
            IsPlayableAddress(*address->WString()))
            return true;
    }
}

bool IsExpectedVersion(std::string_view rootName, const ExpectedCatalogue& expected) {
    if (!expected.markerVersion.empty())
        return CompareVersions(rootName, expected.markerVersion) == 0;
    return CompareVersions(rootName, expected.versionInUse) > 0;
}

}  // namespace

bool HasPlayableChannel(const DocNode& root) {
    for (const auto& country : root.Children()) {
        for (const auto& channel : country->Children()) {
            if (HasPlayableStream(*channel))
                return true;
        }
    }
    return false;
}

StoreResult StoreCatalogue(MemoryStream& body, const std::u16string& path,
                           const ExpectedCatalogue& expected,
                           const std::function<bool()>& beforeReplace) {
    // A body that is not the announced catalogue (an error page, a file cut
    // short, the marker itself, an older catalogue, a catalogue of nothing
    // playable) must never replace the working file.
    body.Seek(0, SeekOrigin::Begin);
    DocNode root;
    if (!root.ReadFrom(body) || !IsExpectedVersion(root.Name(), expected) ||
        !HasPlayableChannel(root))
        return StoreResult::NotACatalogue;
    return WriteCatalogueFile(body, path, beforeReplace);
}

StoreResult WriteCatalogueFile(const MemoryStream& body, const std::u16string& path,
                               const std::function<bool()>& beforeReplace, bool userOnly) {
    if (path.empty())
        return StoreResult::WriteFailed;

    std::u16string temporary = path + u".tmp";
    std::string from = ToUtf8(temporary);
    FileStream file;
    if (!file.Open(temporary, OpenMode::Write))
        return StoreResult::WriteFailed;
    // Before anything is written into it.
    if (userOnly && ::chmod(from.c_str(), 0600) != 0) {
        file.Close();
        std::remove(from.c_str());
        return StoreResult::WriteFailed;
    }
    bool written = file.Write(body.Data(), body.Size()) == body.Size() && file.Sync();
    file.Close();
    if (!written) {
        std::remove(from.c_str());
        return StoreResult::WriteFailed;
    }
    if (beforeReplace && !beforeReplace()) {
        std::remove(from.c_str());
        return StoreResult::Abandoned;
    }
    if (std::rename(from.c_str(), ToUtf8(path).c_str()) != 0) {
        std::remove(from.c_str());
        return StoreResult::WriteFailed;
    }
    return StoreResult::Stored;
}

std::shared_future<void> StartAutomaticUpdateCheck(bool enabled, UpdateSource source,
                                                   std::shared_ptr<UpdateState> state) {
    if (!enabled || !state)
        return {};
    try {
        std::promise<void> done;
        std::shared_future<void> finished = done.get_future().share();
        std::thread([source = std::move(source), state = std::move(state),
                     done = std::move(done)]() mutable {
            SourceCheck check = CheckSource(source, true);
            if (check.answer == CheckAnswer::Unreachable)
                state->SetOutcome(UpdateOutcome::ConnectionError);
            if (check.playlist && check.playlist->refusal != UpdateOutcome::None)
                state->SetAccountRefusalAtStart(check.playlist->refusal);
            bool newer = check.answer == CheckAnswer::Newer;
            PendingUpdate pending;
            if (newer) {
                pending.version = check.markerVersion;
                pending.playlist = check.playlist != nullptr;
                pending.playlistFetch = std::move(check.playlist);
                pending.playlistSource = source.server;
            }
            // The finding first: whoever sees the flag also sees it.
            state->SetPendingUpdate(pending);
            state->SetPending(newer);
            done.set_value();
        }).detach();
        return finished;
    } catch (const std::system_error&) {
        // No thread could be started: the check is skipped for this run,
        // the menu command still works.
        return {};
    }
}

bool ShouldStartAutomaticUpdate(UpdateState& state, bool mainWindowActive) {
    if (!mainWindowActive || !state.Pending())
        return false;
    return state.MarkAutomaticUpdateStarted();
}

std::string_view TakeAccountRefusalAtStart(UpdateState& state, bool mainWindowActive) {
    if (!mainWindowActive)
        return {};
    switch (state.TakeAccountRefusalAtStart()) {
    case UpdateOutcome::AccountRefused: return kMsgAccountRefused;
    case UpdateOutcome::AccountExpired: return kMsgAccountExpired;
    default: return {};
    }
}

}  // namespace lumora
