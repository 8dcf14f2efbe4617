#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "guide/channel_matcher.h"
#include "guide/guide_import.h"
#include "guide/guide_sources.h"
#include "net/fetch_url.h"

namespace lumora {

// Brings a guide store up to date from its sources: local files are read,
// http(s) guides stream from the network into the import (never a whole
// body in memory) with the catalogue update's transfer rules. The new store
// replaces the old one only when every source was read whole; otherwise the
// old one stays as it was.

struct GuideUpdateRequest {
    std::string storePath;
    std::vector<GuideSource> sources;  // read in this order, merged
    // The catalogue whose channels are matched; none: the store answers to
    // the guides' own channel ids.
    std::optional<std::vector<CatalogueChannel>> catalogue;
    // What the store is built from beside the guides' bytes
    // (GuideUpdateSignature). It is kept in the store; the cache validators
    // kept with it are sent only while it stays the same.
    std::string signature;
    bool conditional = true;  // false: every source is fetched whole
    std::string userAgent;    // empty: the update code's agent
    GuideImportOptions import;
    FetchOptions fetch;
    // When given and set (from any thread), the update ends as Stopped
    // within about a second, also while a server keeps it waiting.
    const std::atomic<bool>* stop = nullptr;
};

enum class GuideUpdateStatus {
    Updated,  // a new store is in place
    Current,  // every guide answered "not modified": the store is left as it is
    Failed,   // a source failed or was refused; the old store is untouched
    Stopped,  // the progress callback stopped it; the old store is untouched
};

struct GuideUpdateResult {
    GuideUpdateStatus status = GuideUpdateStatus::Failed;
    GuideImportReport report;
    std::string message;  // English, for logs and the data tool: what failed, where
};

// Hears the guide bytes read so far, over all sources; false stops the update.
using GuideUpdateProgress = std::function<bool(std::uint64_t bytes)>;

// Blocking; call it from a worker thread (the callback runs there). Only
// one update of a store runs at a time: a second one fails.
GuideUpdateResult UpdateGuide(const GuideUpdateRequest& request,
                              const GuideUpdateProgress& progress = {});

// The signature of a set of sources (addresses, kinds, offsets) and the
// identity of the catalogue they are matched with (any text that changes
// when the catalogue does).
std::string GuideUpdateSignature(const std::vector<GuideSource>& sources,
                                 std::string_view catalogueIdentity);

// The store exists, was built from `signature` and is younger than
// `maxAgeSeconds` at `now` (UTC seconds).
bool GuideStoreIsCurrent(const std::string& storePath, const std::string& signature,
                         std::int64_t now, std::int64_t maxAgeSeconds);

}  // namespace lumora
