#include "net/update_logic.h"

#include <cstdio>
#include <limits>
#include <thread>

#include "document/doc_node.h"
#include "document/file_stream.h"
#include "document/text_encoding.h"

namespace lumora {

std::atomic<int> UpdateOutcome{kUpdateNone};
std::atomic<bool> updatePending{false};
std::atomic<bool> autoUpdatePrompted{false};

void ResetUpdateState()
{
    UpdateOutcome = kUpdateNone;
    updatePending = false;
    autoUpdatePrompted = false;
}

namespace {

// Paths on the update server, %S standing for the platform folder.
constexpr std::u16string_view kMarkerPath = u"/downloads/%S/cupdate.dat";
constexpr std::u16string_view kCataloguePath = u"/downloads/%S/Channels.lmch";
constexpr std::u16string_view kPlatformFolder = u"mobile";

std::u16string ServerUrl(std::u16string_view server, std::u16string_view pathPattern)
{
    while (!server.empty() && server.back() == u'/')
        server.remove_suffix(1);
    std::u16string url(server);
    std::size_t mark = pathPattern.find(u"%S");
    url += pathPattern.substr(0, mark);
    url += kPlatformFolder;
    url += pathPattern.substr(mark + 2);
    return url;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// The leading decimal integer of a piece, the way the C library reads one:
// blanks, an optional sign, then digits. Clamped to the 32-bit range.
std::int32_t LeadingInteger(std::string_view piece)
{
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

std::u16string MarkerUrl(std::u16string_view server) { return ServerUrl(server, kMarkerPath); }
std::u16string CatalogueUrl(std::u16string_view server) { return ServerUrl(server, kCataloguePath); }

VersionNumbers ParseVersion(std::string_view text)
{
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

int CompareVersions(std::string_view a, std::string_view b)
{
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

bool IsVersionText(std::string_view text)
{
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

CheckAnswer AskForNewerCatalogue(const UpdateSource& source)
{
    std::unique_ptr<MemoryStream> body = source.fetch ? source.fetch(MarkerUrl(source.server)) : nullptr;
    if (!body)
        return CheckAnswer::Unreachable;
    // Only the marker's root name matters: it is the newest version text.
    DocNode marker;
    bool readable = marker.ReadFrom(*body);
    body.reset();
    if (!readable)
        return CheckAnswer::NotNewer;
    return CompareVersions(marker.Name(), source.catalogueVersion) > 0 ? CheckAnswer::Newer
                                                                        : CheckAnswer::NotNewer;
}

bool CheckCatalogueUpdate(const UpdateSource& source)
{
    CheckAnswer answer = AskForNewerCatalogue(source);
    if (answer == CheckAnswer::Unreachable)
        UpdateOutcome = kUpdateConnectionError;
    return answer == CheckAnswer::Newer;
}

StoreResult StoreCatalogue(MemoryStream& body, const std::u16string& path,
                           const std::function<bool()>& beforeReplace)
{
    // A body that is not a catalogue document (an error page, a file cut
    // short, something else entirely) must never replace the working file.
    body.Seek(0, SeekOrigin::Begin);
    DocNode root;
    if (!root.ReadFrom(body) || !IsVersionText(root.Name()))
        return StoreResult::NotACatalogue;
    if (path.empty())
        return StoreResult::WriteFailed;

    std::u16string temporary = path + u".tmp";
    std::string from = ToUtf8(temporary);
    FileStream file;
    if (!file.Open(temporary, OpenMode::Write))
        return StoreResult::WriteFailed;
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

std::shared_future<void> StartAutomaticUpdateCheck(bool enabled, UpdateSource source)
{
    if (!enabled)
        return {};
    try {
        std::promise<void> done;
        std::shared_future<void> finished = done.get_future().share();
        std::thread([source = std::move(source), done = std::move(done)]() mutable {
            updatePending = CheckCatalogueUpdate(source);
            done.set_value();
        }).detach();
        return finished;
    } catch (const std::system_error&) {
        // No thread could be started: the check is skipped for this run,
        // the menu command still works.
        return {};
    }
}

bool ShouldStartAutomaticUpdate(bool mainWindowActive)
{
    if (!mainWindowActive || !updatePending.load())
        return false;
    bool expected = false;
    return autoUpdatePrompted.compare_exchange_strong(expected, true);
}

}  // namespace lumora
