#pragma once

#include <curl/curl.h>

#include <memory>
#include <string>
#include <string_view>

#include "net/fetch_reply.h"
#include "net/fetch_url.h"

// The libcurl set-up every transfer of the program shares, so a whole body
// and a streamed one follow the same rules: only http and https, also for
// redirects; no proxy; certificate checks on; the connection time-out and
// the slow-transfer cut of FetchOptions. For net/'s own sources only: the
// rest of the program sees no libcurl type.
//
// Threads: any; nothing here keeps state but libcurl's global set-up.
namespace lumora::curl {

// libcurl's global set-up, run once for the whole process; false when it
// failed, and then no transfer can run.
bool EnsureCurlReady();

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

struct HeaderListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, HeaderListDeleter>;

// The request headers: the form content type, the agent (UTF-8), a referrer
// when one is given, the directives that make every cache on the way fetch
// anew, and the conditions when they are set. A value holding a line break
// or another control character is left out: it would forge headers. Null
// when libcurl is out of memory.
HeaderList BuildHeaders(std::string_view agent, std::string_view referrer,
                        const HttpValidators& conditions);

// The last answer's status and validators, gathered from the header lines
// of every answer (redirects included) while the transfer runs.
struct AnswerHeaders {
    long status = 0;
    HttpValidators validators;
};

// Sets everything but the body's destination. `maxBodyBytes` 0 sets no
// limit on a body whose length is announced.
bool ConfigureTransfer(CURL* handle, const std::string& url, curl_slist* headers,
                       AnswerHeaders& answer, const FetchOptions& options, curl_off_t maxBodyBytes);

// True for an address that starts with "http://" or "https://" (any case):
// the only ones a transfer starts with.
bool IsWebAddress(std::string_view url);

}  // namespace lumora::curl
