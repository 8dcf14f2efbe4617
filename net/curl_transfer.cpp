#include "net/curl_transfer.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <optional>

namespace lumora::curl {
namespace {

bool IsHeaderText(std::string_view value) {
    for (unsigned char c : value) {
        if (c < 0x20 || c == 0x7F)
            return false;
    }
    return true;
}

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

// "Name: value" when the value is set and safe to send; nothing to add
// otherwise, which is no failure.
bool AppendOptionalHeader(HeaderList& list, std::string_view name, std::string_view value) {
    if (value.empty() || !IsHeaderText(value))
        return true;
    return AppendHeader(list, std::string(name) + ": " + std::string(value));
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

// "HTTP/1.1 304 Not Modified" -> 304; 0 when the line says no status.
long StatusOfLine(std::string_view line) {
    const std::size_t blank = line.find(' ');
    if (blank == std::string_view::npos || line.size() < blank + 4)
        return 0;
    long status = 0;
    for (char c : line.substr(blank + 1, 3)) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return 0;
        status = status * 10 + (c - '0');
    }
    return status;
}

// Called by libcurl with each header line of every answer, redirects
// included; only the last answer counts.
std::size_t ReceiveHeader(char* data, std::size_t size, std::size_t count, void* context) {
    auto* answer = static_cast<AnswerHeaders*>(context);
    std::string_view line(data, size * count);
    if (line.substr(0, 5) == "HTTP/") {
        *answer = {};
        answer->status = StatusOfLine(line);
    } else if (auto etag = HeaderValue(line, "etag"); etag && IsHeaderText(*etag)) {
        answer->validators.etag = std::string(*etag);
    } else if (auto modified = HeaderValue(line, "last-modified");
               modified && IsHeaderText(*modified)) {
        answer->validators.lastModified = std::string(*modified);
    }
    return size * count;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    }
    return true;
}

}  // namespace

// It is never undone: the library lives as long as the process.
bool EnsureCurlReady() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ready;
}

HeaderList BuildHeaders(std::string_view agent, std::string_view referrer,
                        const HttpValidators& conditions) {
    HeaderList list;
    if (!AppendHeader(list, "Content-Type:application/x-www-form-urlencoded"))
        return nullptr;
    // An agent that may not be sent goes as "User-Agent:" without a value,
    // which libcurl takes as: send no agent at all.
    if (!AppendHeader(list, "User-Agent:" + std::string(IsHeaderText(agent) ? agent : "")) ||
        !AppendHeader(list, "Cache-Control: no-cache") || !AppendHeader(list, "Pragma: no-cache"))
        return nullptr;
    if (!AppendOptionalHeader(list, "Referer", referrer) ||
        !AppendOptionalHeader(list, "If-None-Match", conditions.etag) ||
        !AppendOptionalHeader(list, "If-Modified-Since", conditions.lastModified))
        return nullptr;
    return list;
}

bool ConfigureTransfer(CURL* handle, const std::string& url, curl_slist* headers,
                       AnswerHeaders& answer, const FetchOptions& options,
                       curl_off_t maxBodyBytes) {
    bool ok = true;
    auto set = [&](CURLoption option, auto value) {
        ok = ok && curl_easy_setopt(handle, option, value) == CURLE_OK;
    };
    set(CURLOPT_URL, url.c_str());
    set(CURLOPT_HTTPGET, 1L);
    set(CURLOPT_HTTPHEADER, headers);
    set(CURLOPT_HEADERFUNCTION, &ReceiveHeader);
    set(CURLOPT_HEADERDATA, static_cast<void*>(&answer));
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
    // Certificates are always checked; tests may only name whom to trust.
    set(CURLOPT_SSL_VERIFYPEER, 1L);
    set(CURLOPT_SSL_VERIFYHOST, 2L);
    if (!options.caFile.empty()) {
        set(CURLOPT_CAINFO, options.caFile.c_str());
        set(CURLOPT_CAPATH, static_cast<const char*>(nullptr));
    }
    set(CURLOPT_MAXFILESIZE_LARGE, maxBodyBytes);
    // Time-outs must not be raised through signals: fetches run on worker
    // threads of a program that has other threads.
    set(CURLOPT_NOSIGNAL, 1L);
    return ok;
}

bool IsWebAddress(std::string_view url) {
    return StartsWithIgnoringCase(url, "http://") || StartsWithIgnoringCase(url, "https://");
}

}  // namespace lumora::curl
