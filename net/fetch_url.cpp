#include "net/fetch_url.h"

#include <new>
#include <string>

#include "document/text_encoding.h"
#include "net/curl_transfer.h"

namespace lumora {
namespace {

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

}  // namespace

FetchReply FetchUrlReply(const std::u16string& agent, const std::u16string& url,
                         const HttpValidators& conditions, const FetchOptions& options) {
    FetchReply reply;
    try {
        if (!curl::EnsureCurlReady())
            return reply;
        curl::EasyHandle handle(curl_easy_init());
        curl::HeaderList headers = curl::BuildHeaders(ToUtf8(agent), {}, conditions);
        if (!handle || !headers)
            return reply;
        Receiver receiver;
        receiver.limit = options.maxBodyBytes;
        curl::AnswerHeaders answer;
        std::string address = ToUtf8(url);
        if (!curl::ConfigureTransfer(handle.get(), address, headers.get(), answer, options,
                                     static_cast<curl_off_t>(options.maxBodyBytes)) ||
            curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, &ReceiveBody) != CURLE_OK ||
            curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, static_cast<void*>(&receiver)) !=
                CURLE_OK)
            return reply;
        // Any failure of the transfer, a body shorter than its announced
        // length included, discards what was received.
        if (curl_easy_perform(handle.get()) != CURLE_OK)
            return reply;
        curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &reply.status);
        reply.validators = std::move(answer.validators);
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
