#include "net/fetch_url.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "document/text_encoding.h"

namespace lumora {
namespace {

// libcurl's global set-up is not safe to run twice at once; every fetch goes
// through here first. It is never undone: the library lives as long as the
// process.
bool EnsureCurlReady() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ready;
}

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

struct HeaderListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, HeaderListDeleter>;

// Appends one header line; false when libcurl is out of memory (the list
// built so far stays owned by `list`).
bool AppendHeader(HeaderList& list, const std::string& line) {
    curl_slist* longer = curl_slist_append(list.get(), line.c_str());
    if (!longer)
        return false;
    list.release();
    list.reset(longer);
    return true;
}

// The request headers: the form content type and the agent as the user
// agent, then the two cache directives that make every proxy or cache on the
// way fetch the file anew.
HeaderList BuildHeaders(const std::u16string& agent, const HttpValidators& conditions) {
    HeaderList list;
    if (!AppendHeader(list, "Content-Type:application/x-www-form-urlencoded") ||
        !AppendHeader(list, "User-Agent:" + ToUtf8(agent)) ||
        !AppendHeader(list, "Cache-Control: no-cache") || !AppendHeader(list, "Pragma: no-cache"))
        return nullptr;
    if (!conditions.etag.empty() && !AppendHeader(list, "If-None-Match: " + conditions.etag))
        return nullptr;
    if (!conditions.lastModified.empty() &&
        !AppendHeader(list, "If-Modified-Since: " + conditions.lastModified))
        return nullptr;
    return list;
}

bool IsHeaderText(std::string_view value) {
    for (unsigned char c : value) {
        if (c < 0x20 || c == 0x7F)
            return false;
    }
    return true;
}

// The value of "Name: value" when the line's name is `name` (any case),
// without surrounding blanks and the line end.
std::optional<std::string_view> HeaderValue(std::string_view line, std::string_view name) {
    if (line.size() <= name.size() || line[name.size()] != ':')
        return std::nullopt;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(line[i])) != name[i])
            return std::nullopt;
    }
    std::string_view value = line.substr(name.size() + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.remove_prefix(1);
    while (!value.empty() && (value.back() == '\r' || value.back() == '\n' || value.back() == ' '))
        value.remove_suffix(1);
    return value;
}

// Called by libcurl with each header line of every answer, redirects
// included; only the last answer's validators count.
std::size_t ReceiveHeader(char* data, std::size_t size, std::size_t count, void* context) {
    auto* validators = static_cast<HttpValidators*>(context);
    std::string_view line(data, size * count);
    if (line.substr(0, 5) == "HTTP/") {
        *validators = {};
    } else if (auto etag = HeaderValue(line, "etag"); etag && IsHeaderText(*etag)) {
        validators->etag = std::string(*etag);
    } else if (auto modified = HeaderValue(line, "last-modified");
               modified && IsHeaderText(*modified)) {
        validators->lastModified = std::string(*modified);
    }
    return size * count;
}

struct Receiver {
    MemoryStream buffer;
    std::uint32_t limit = 0;
};

// Called by libcurl with each piece of the body as it arrives. Answering
// fewer bytes than offered makes libcurl end the transfer as failed.
std::size_t ReceiveBody(char* data, std::size_t size, std::size_t count, void* context) {
    auto* receiver = static_cast<Receiver*>(context);
    std::size_t bytes = size * count;
    if (bytes > receiver->limit - receiver->buffer.Size())
        return 0;
    try {
        return receiver->buffer.Write(data, static_cast<std::uint32_t>(bytes));
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

bool Configure(CURL* handle, const std::string& url, curl_slist* headers, Receiver& receiver,
               HttpValidators& validators, const FetchOptions& options) {
    bool ok = true;
    auto set = [&](CURLoption option, auto value) {
        ok = ok && curl_easy_setopt(handle, option, value) == CURLE_OK;
    };
    set(CURLOPT_URL, url.c_str());
    set(CURLOPT_HTTPGET, 1L);
    set(CURLOPT_HTTPHEADER, headers);
    set(CURLOPT_WRITEFUNCTION, &ReceiveBody);
    set(CURLOPT_WRITEDATA, static_cast<void*>(&receiver));
    set(CURLOPT_HEADERFUNCTION, &ReceiveHeader);
    set(CURLOPT_HEADERDATA, static_cast<void*>(&validators));
    // Only the web protocols, for the first request and for every redirect.
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    set(CURLOPT_FOLLOWLOCATION, 1L);
    set(CURLOPT_MAXREDIRS, options.maxRedirects);
    // Straight to the server, whatever the environment says about proxies.
    set(CURLOPT_PROXY, "");
    set(CURLOPT_NOPROXY, "*");
    set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.connectTimeout.count()));
    set(CURLOPT_LOW_SPEED_LIMIT,
        static_cast<long>(std::max<std::uint32_t>(1, options.lowSpeedBytes)));
    set(CURLOPT_LOW_SPEED_TIME, static_cast<long>(options.stallTimeout.count()));
    set(CURLOPT_TIMEOUT, static_cast<long>(options.totalTimeout.count()));
    if (!options.caFile.empty()) {
        set(CURLOPT_CAINFO, options.caFile.c_str());
        set(CURLOPT_CAPATH, static_cast<const char*>(nullptr));
    }
    set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.maxBodyBytes));
    // Time-outs must not be raised through signals: fetches run on worker
    // threads of a program that has other threads.
    set(CURLOPT_NOSIGNAL, 1L);
    return ok;
}

}  // namespace

FetchReply FetchUrlReply(const std::u16string& agent, const std::u16string& url,
                         const HttpValidators& conditions, const FetchOptions& options) {
    FetchReply reply;
    try {
        if (!EnsureCurlReady())
            return reply;
        EasyHandle handle(curl_easy_init());
        HeaderList headers = BuildHeaders(agent, conditions);
        if (!handle || !headers)
            return reply;
        Receiver receiver;
        receiver.limit = options.maxBodyBytes;
        std::string address = ToUtf8(url);
        if (!Configure(handle.get(), address, headers.get(), receiver, reply.validators, options))
            return reply;
        // Any failure of the transfer, a body shorter than its announced
        // length included, discards what was received.
        if (curl_easy_perform(handle.get()) != CURLE_OK) {
            reply.validators = {};
            return reply;
        }
        curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &reply.status);
        reply.body = std::make_unique<MemoryStream>(std::move(receiver.buffer));
        reply.body->Seek(0, SeekOrigin::Begin);
        return reply;
    } catch (const std::bad_alloc&) {
        return FetchReply{};
    }
}

std::unique_ptr<MemoryStream> FetchUrl(const std::u16string& agent, const std::u16string& url,
                                       const FetchOptions& options) {
    return FetchUrlReply(agent, url, HttpValidators{}, options).body;
}

std::unique_ptr<MemoryStream> FetchUrl(const std::u16string& url) {
    return FetchUrl(kUpdateAgent, url);
}

}  // namespace lumora
