#pragma once

#include <memory>
#include <string>

#include "document/memory_stream.h"

// What one HTTP transfer gives back beside its body. Standard library only,
// so the update logic can use it without the HTTP library.
namespace lumora {

// The answer's cache validators, sent back with the next request so that an
// unchanged file is not transferred again.
struct HttpValidators {
    std::string etag;          // the "ETag" header, as sent
    std::string lastModified;  // the "Last-Modified" header, as sent

    bool Empty() const { return etag.empty() && lastModified.empty(); }
};

struct FetchReply {
    // Null when the transfer failed; an empty stream for an empty body.
    std::unique_ptr<MemoryStream> body;
    long status = 0;  // the HTTP status of the last answer (after redirects)
    HttpValidators validators;

    // The server said the file has not changed since the validators asked.
    bool NotModified() const { return body && status == 304; }
};

}  // namespace lumora
