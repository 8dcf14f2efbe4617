#include "net/fetch_stream.h"

#include <new>
#include <optional>

#include "document/text_encoding.h"
#include "net/curl_transfer.h"

namespace lumora {
namespace {

// What the body callback saw, and why it stopped the transfer if it did.
struct StreamReceiver {
    const ChunkSink* sink = nullptr;
    const curl::AnswerHeaders* answer = nullptr;
    std::uint64_t limit = 0;
    std::uint64_t received = 0;
    const std::atomic<bool>* stop = nullptr;
    std::optional<StreamStatus> stoppedBy;
};

// Called by libcurl about once a second, also while nothing arrives:
// non-zero ends the transfer.
int CheckStop(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* receiver = static_cast<StreamReceiver*>(context);
    if (!receiver->stop->load())
        return 0;
    receiver->stoppedBy = StreamStatus::Aborted;
    return 1;
}

bool IsSuccessStatus(long status) {
    return status >= 200 && status < 300;
}

bool GiveToSink(const ChunkSink& sink, std::string_view chunk) {
    // No exception may unwind through libcurl; a sink that throws has failed.
    try {
        return sink(chunk);
    } catch (...) {
        return false;
    }
}

// Called by libcurl with each piece of the body; answering fewer bytes than
// offered ends the transfer.
std::size_t ReceiveChunk(char* data, std::size_t size, std::size_t count, void* context) {
    auto* receiver = static_cast<StreamReceiver*>(context);
    const std::size_t bytes = size * count;
    const long status = receiver->answer->status;
    if (status >= 300 && status < 400)
        return bytes;  // the page of a redirect: not the body
    if (!IsSuccessStatus(status)) {
        receiver->stoppedBy = StreamStatus::HttpError;  // an error page is no body
        return 0;
    }
    if (receiver->limit != 0 && bytes > receiver->limit - receiver->received) {
        receiver->stoppedBy = StreamStatus::TooLarge;
        return 0;
    }
    if (bytes == 0)
        return 0;
    if (!GiveToSink(*receiver->sink, std::string_view(data, bytes))) {
        receiver->stoppedBy = StreamStatus::Aborted;
        return 0;
    }
    receiver->received += bytes;
    return bytes;
}

bool WatchStopFlag(CURL* handle, StreamReceiver& receiver, const std::atomic<bool>* stop) {
    receiver.stop = stop;
    return curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &CheckStop) == CURLE_OK &&
           curl_easy_setopt(handle, CURLOPT_XFERINFODATA, static_cast<void*>(&receiver)) ==
               CURLE_OK &&
           curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L) == CURLE_OK;
}

StreamResult Failure(StreamStatus status, std::string message) {
    StreamResult result;
    result.status = status;
    result.message = std::move(message);
    return result;
}

// The result of a transfer that ran, from libcurl's code and what the
// callbacks saw.
StreamResult ResultOf(CURLcode code, const char* detail, const StreamReceiver& receiver,
                      const curl::AnswerHeaders& answer, const StreamRequest& request) {
    StreamResult result;
    result.httpStatus = answer.status;
    result.bodyBytes = receiver.received;
    if (code == CURLE_OK && answer.status == 304) {
        result.status = StreamStatus::NotModified;
        result.validators = answer.validators.Empty() ? request.conditions : answer.validators;
    } else if (code == CURLE_OK && IsSuccessStatus(answer.status)) {
        result.status = StreamStatus::Ok;
        result.validators = answer.validators;
    } else if (code == CURLE_OK || receiver.stoppedBy == StreamStatus::HttpError) {
        result.status = StreamStatus::HttpError;
        result.message = "the server answered HTTP " + std::to_string(answer.status);
    } else if (receiver.stoppedBy) {
        result.status = *receiver.stoppedBy;
        result.message =
            *receiver.stoppedBy == StreamStatus::Aborted
                ? "the transfer was stopped"
                : "the body is larger than " + std::to_string(request.maxBodyBytes) + " bytes";
    } else if (code == CURLE_FILESIZE_EXCEEDED) {
        result.status = StreamStatus::TooLarge;
        result.message =
            "the body is larger than " + std::to_string(request.maxBodyBytes) + " bytes";
    } else if (code == CURLE_UNSUPPORTED_PROTOCOL) {
        result.status = StreamStatus::Refused;
        result.message = "a redirect led to an address that is not http or https";
    } else {
        result.status = StreamStatus::TransferFailed;
        result.message = *detail != '\0' ? detail : curl_easy_strerror(code);
    }
    return result;
}

}  // namespace

StreamResult FetchToSink(const StreamRequest& request, const ChunkSink& sink,
                         const FetchOptions& options) {
    // Refused before libcurl sees it: file:, a path, a device or a FIFO
    // must never be opened because a playlist named it.
    if (!curl::IsWebAddress(request.url))
        return Failure(StreamStatus::Refused, "only http and https addresses are fetched");
    try {
        if (!curl::EnsureCurlReady())
            return Failure(StreamStatus::TransferFailed, "the HTTP library could not start");
        curl::EasyHandle handle(curl_easy_init());
        curl::HeaderList headers =
            curl::BuildHeaders(request.userAgent.empty() ? ToUtf8(kUpdateAgent) : request.userAgent,
                               request.referrer, request.conditions);
        if (!handle || !headers)
            return Failure(StreamStatus::TransferFailed, "out of memory");
        curl::AnswerHeaders answer;
        StreamReceiver receiver;
        receiver.sink = &sink;
        receiver.answer = &answer;
        receiver.limit = request.maxBodyBytes;
        char detail[CURL_ERROR_SIZE] = {};
        if (!curl::ConfigureTransfer(handle.get(), request.url, headers.get(), answer, options,
                                     static_cast<curl_off_t>(request.maxBodyBytes)) ||
            curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, &ReceiveChunk) != CURLE_OK ||
            curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, static_cast<void*>(&receiver)) !=
                CURLE_OK ||
            curl_easy_setopt(handle.get(), CURLOPT_ERRORBUFFER, detail) != CURLE_OK ||
            (request.stop != nullptr && !WatchStopFlag(handle.get(), receiver, request.stop)))
            return Failure(StreamStatus::TransferFailed, "the transfer could not be set up");
        const CURLcode code = curl_easy_perform(handle.get());
        return ResultOf(code, detail, receiver, answer, request);
    } catch (const std::bad_alloc&) {
        return Failure(StreamStatus::TransferFailed, "out of memory");
    }
}

}  // namespace lumora
