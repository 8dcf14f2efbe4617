// The probing engine proper: libavformat opens and reads one stream. Built
// as the module "lumora-probe-engine.so", which probe_engine.cpp loads on
// first use, so libavformat and the ~200 libraries behind it are loaded
// only by a run that probes.

#include "probe/libav_helpers.h"
#include "probe/probe_engine.h"

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
}

namespace lumora {
namespace {

using namespace libav;

using Clock = std::chrono::steady_clock;

// The protocols a probe may use, for the address itself and for whatever a
// playlist behind it names: network transports only, never "file", "fd",
// "pipe", "data" or the protocols that wrap other addresses.
constexpr const char* kNetworkProtocols =
    "http,https,tcp,tls,crypto,httpproxy,rtmp,rtmps,rtmpt,rtmpts,rtmpe,rtmpte,rtp,srtp,udp,mmsh,"
    "mmst,srt";

// After the first packet, media is read for the media span of media or this
// much longer than the span in wall time, whichever ends first, so a stream
// that arrives slower than real time still ends.
constexpr std::chrono::milliseconds kMeasureMargin{2000};
// Below this much media the container's own figure is preferred.
constexpr std::int64_t kMinMeasuredMicroseconds = 500'000;

// What libavformat logged on the probing thread that the result needs.
struct ProbeLog {
    int httpStatus = 0;
    int redirects = 0;
};

// libavformat follows at most this many redirects and then fails with a
// plain input/output error.
constexpr int kRedirectLimit = 8;

thread_local ProbeLog* t_probeLog = nullptr;

// libavformat's messages never reach the terminal; the lines a result needs
// are read on the thread that logged them (each probe runs on one thread).
void CaptureLog(void*, int level, const char* format, va_list args) {
    ProbeLog* log = t_probeLog;
    if (log == nullptr)
        return;
    // The HTTP client traces each status it receives; the format is
    // compared, not the formatted text, so tracing costs nothing else.
    if (std::strcmp(format, "http_code=%d\n") == 0) {
        int status = va_arg(args, int);
        if (status >= 300 && status < 400)
            ++log->redirects;
        return;
    }
    if (level > AV_LOG_WARNING)
        return;
    char line[256];
    std::vsnprintf(line, sizeof line, format, args);
    int status = 0;
    if (std::sscanf(line, "HTTP error %d", &status) == 1 && status >= 100 && status <= 999)
        log->httpStatus = status;
}

void SetUpLibavformatOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        av_log_set_callback(CaptureLog);
        avformat_network_init();
        avdevice_register_all();
    });
}

struct FormatContextClose {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using FormatContext = std::unique_ptr<AVFormatContext, FormatContextClose>;

// "15 s", "2.5 s"
std::string SecondsText(std::chrono::milliseconds span) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", double(span.count()) / 1000);
    return text;
}

ProbeResult Outcome(ProbeOutcome outcome, std::string reason) {
    ProbeResult result;
    result.outcome = outcome;
    result.reason = std::move(reason);
    return result;
}

int StatusOfHttpError(int error) {
    switch (error) {
    case AVERROR_HTTP_BAD_REQUEST: return 400;
    case AVERROR_HTTP_UNAUTHORIZED: return 401;
    case AVERROR_HTTP_FORBIDDEN: return 403;
    case AVERROR_HTTP_NOT_FOUND: return 404;
    default: return 0;
    }
}

bool IsHttpError(int error) {
    return error == AVERROR_HTTP_BAD_REQUEST || error == AVERROR_HTTP_UNAUTHORIZED ||
           error == AVERROR_HTTP_FORBIDDEN || error == AVERROR_HTTP_NOT_FOUND ||
           error == AVERROR_HTTP_OTHER_4XX || error == AVERROR_HTTP_SERVER_ERROR;
}

// The running bytes and media time of the packets read so far.
struct Measurement {
    std::int64_t bytes = 0;
    std::int64_t firstMicroseconds = AV_NOPTS_VALUE;
    std::int64_t lastMicroseconds = AV_NOPTS_VALUE;

    void Add(const AVPacket& packet, const AVStream& stream) {
        bytes += packet.size;
        std::int64_t start = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
        if (start == AV_NOPTS_VALUE)
            return;
        std::int64_t begin = av_rescale_q(start, stream.time_base, AV_TIME_BASE_Q);
        std::int64_t end = av_rescale_q(start + std::max<std::int64_t>(packet.duration, 0),
                                        stream.time_base, AV_TIME_BASE_Q);
        if (firstMicroseconds == AV_NOPTS_VALUE || begin < firstMicroseconds)
            firstMicroseconds = begin;
        if (lastMicroseconds == AV_NOPTS_VALUE || end > lastMicroseconds)
            lastMicroseconds = end;
    }
    std::int64_t SpanMicroseconds() const {
        if (firstMicroseconds == AV_NOPTS_VALUE || lastMicroseconds == AV_NOPTS_VALUE)
            return 0;
        return std::max<std::int64_t>(lastMicroseconds - firstMicroseconds, 0);
    }
    int Kbps() const {
        std::int64_t span = SpanMicroseconds();
        return span > 0 ? int((bytes * 8000 + span / 2) / span) : 0;
    }
};

// One probe: the request, its clock and the state the interrupt callback
// reads. Lives on the probing thread's stack.
class ProbeSession {
public:
    ProbeSession(const ProbeRequest& request, const std::atomic<bool>& stop)
        : request_(request),
          stop_(stop),
          start_(Clock::now()),
          deadline_(start_ + request.deadline) {}

    // The address has passed the address rule.
    ProbeResult Run() {
        SetUpLibavformatOnce();
        t_probeLog = &log_;
        ProbeResult result = OpenAndMeasure();
        t_probeLog = nullptr;
        return result;
    }

private:
    enum class Cut { None, Deadline, Stop };

    static int Interrupt(void* opaque) {
        return static_cast<ProbeSession*>(opaque)->ShouldCut() ? 1 : 0;
    }

    bool ShouldCut() {
        if (stop_.load()) {
            cut_ = Cut::Stop;
            return true;
        }
        if (Clock::now() >= deadline_) {
            cut_ = Cut::Deadline;
            return true;
        }
        return false;
    }

    bool IsTestPattern() const { return StartsWithIgnoringCase(request_.address, kLavfiPrefix); }

    ProbeResult OpenAndMeasure() {
        FormatContext context = Open();
        if (!context)
            return FailureOf(openError_);
        if (int error = avformat_find_stream_info(context.get(), nullptr);
            error < 0 && cut_ != Cut::None)
            return FailureOf(error);
        std::vector<int> chosen = ChooseStreams(*context);
        if (chosen.empty())
            return Outcome(ProbeOutcome::NotMedia, "no audio or video in " + FormatName(*context));
        return Measure(*context, chosen);
    }

    FormatContext Open() {
        AVFormatContext* raw = avformat_alloc_context();
        if (raw == nullptr) {
            openError_ = AVERROR(ENOMEM);
            return nullptr;
        }
        raw->interrupt_callback = {&ProbeSession::Interrupt, this};
        // Enough to name the streams of any live stream; the rest of the
        // time goes to reading media.
        raw->probesize = 2'000'000;
        raw->max_analyze_duration = 2 * AV_TIME_BASE;
        // No range requests to the end of a file to guess its length.
        raw->skip_estimate_duration_from_pts = 1;

        Options options;
        options.Set("protocol_whitelist", kNetworkProtocols);
        if (!request_.userAgent.empty() && IsSafeHeaderValue(request_.userAgent))
            options.Set("user_agent", request_.userAgent);
        if (!request_.referrer.empty() && IsSafeHeaderValue(request_.referrer))
            options.Set("referer", request_.referrer);

        std::string url = request_.address;
        const AVInputFormat* format = nullptr;
        if (IsTestPattern()) {
            url = url.substr(kLavfiPrefix.size());
            format = av_find_input_format("lavfi");
        } else if (StartsWithIgnoringCase(url, kMmsPrefix)) {
            // "mms://" is MMS over HTTP first, as players try it.
            url = "mmsh://" + url.substr(kMmsPrefix.size());
        }
        openError_ = avformat_open_input(&raw, url.c_str(), format, options.Address());
        if (openError_ < 0)
            return nullptr;  // libavformat freed the context
        return FormatContext(raw);
    }

    // The audio and video streams to read. Of an HLS master playlist's
    // variants only the one with the highest announced bit rate is read, as
    // a player would pick it; the others are discarded.
    std::vector<int> ChooseStreams(AVFormatContext& context) {
        const AVProgram* variant = BestVariant(context);
        std::vector<int> chosen;
        for (unsigned i = 0; i < context.nb_streams; ++i) {
            AVStream* stream = context.streams[i];
            // A stream of no known codec is a demuxer's guess at noise.
            bool media = (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO ||
                          stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) &&
                         stream->codecpar->codec_id != AV_CODEC_ID_NONE;
            if (media && (variant == nullptr || ProgramHasStream(*variant, i)))
                chosen.push_back(int(i));
            else
                stream->discard = AVDISCARD_ALL;
        }
        return chosen;
    }

    static std::int64_t VariantBitrate(const AVProgram& program) {
        const AVDictionaryEntry* entry =
            av_dict_get(program.metadata, "variant_bitrate", nullptr, 0);
        return entry ? std::strtoll(entry->value, nullptr, 10) : 0;
    }

    static const AVProgram* BestVariant(const AVFormatContext& context) {
        const AVProgram* best = nullptr;
        for (unsigned i = 0; i < context.nb_programs; ++i) {
            const AVProgram* program = context.programs[i];
            if (program->nb_stream_indexes > 0 &&
                (best == nullptr || VariantBitrate(*program) > VariantBitrate(*best)))
                best = program;
        }
        return context.nb_programs > 1 ? best : nullptr;
    }

    static bool ProgramHasStream(const AVProgram& program, unsigned index) {
        return std::find(program.stream_index, program.stream_index + program.nb_stream_indexes,
                         index) != program.stream_index + program.nb_stream_indexes;
    }

    static std::string FormatName(const AVFormatContext& context) {
        return context.iformat && context.iformat->name ? context.iformat->name : "the answer";
    }

    ProbeResult Measure(AVFormatContext& context, const std::vector<int>& chosen) {
        Packet packet(av_packet_alloc());
        Measurement measurement;
        int firstPacketMs = -1;
        while (true) {
            int error = av_read_frame(&context, packet.get());
            if (error < 0) {
                if (firstPacketMs < 0)
                    return FailureOf(error);
                break;
            }
            bool counted =
                std::find(chosen.begin(), chosen.end(), packet->stream_index) != chosen.end();
            if (counted) {
                if (firstPacketMs < 0) {
                    firstPacketMs = MillisecondsSinceStart();
                    StartMeasuring();
                }
                measurement.Add(*packet, *context.streams[packet->stream_index]);
            }
            av_packet_unref(packet.get());
            if (cut_ == Cut::Stop || stop_.load())
                return Outcome(ProbeOutcome::Interrupted, "interrupted");
            // A test pattern is made on the spot: it has no transfer rate.
            if (counted &&
                (IsTestPattern() || measurement.SpanMicroseconds() >= MediaSpanMicroseconds()))
                break;
        }
        if (stop_.load())
            return Outcome(ProbeOutcome::Interrupted, "interrupted");
        ProbeResult result =
            Outcome(ProbeOutcome::Working, IsTestPattern() ? "test pattern" : FormatName(context));
        result.firstPacketMs = firstPacketMs;
        result.kbps = IsTestPattern() ? 0 : BitRate(context, chosen, measurement);
        Describe(context, chosen, result);
        return result;
    }

    void StartMeasuring() {
        // The connect deadline is over; the measuring has its own bound.
        deadline_ = Clock::now() + request_.mediaSpan + kMeasureMargin;
        cut_ = Cut::None;
    }

    std::int64_t MediaSpanMicroseconds() const {
        return std::chrono::duration_cast<std::chrono::microseconds>(request_.mediaSpan).count();
    }

    int MillisecondsSinceStart() const {
        return int(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count());
    }

    // The measured rate when enough media was read, else what the
    // container states (its own figure, the variant's, or the streams').
    static int BitRate(const AVFormatContext& context, const std::vector<int>& chosen,
                       const Measurement& measurement) {
        if (measurement.SpanMicroseconds() >= kMinMeasuredMicroseconds)
            return measurement.Kbps();
        std::int64_t stated = context.bit_rate;
        if (stated <= 0) {
            for (int index : chosen)
                stated += std::max<std::int64_t>(context.streams[index]->codecpar->bit_rate, 0);
        }
        if (stated <= 0)
            return measurement.Kbps();
        return int((stated + 500) / 1000);
    }

    static void Describe(const AVFormatContext& context, const std::vector<int>& chosen,
                         ProbeResult& result) {
        for (int index : chosen) {
            const AVCodecParameters& codec = *context.streams[index]->codecpar;
            if (codec.codec_type == AVMEDIA_TYPE_VIDEO)
                result.height = std::max(result.height, codec.height);
            std::string name = avcodec_get_name(codec.codec_id);
            std::string padded = "+" + result.codecs + "+";
            if (padded.find("+" + name + "+") == std::string::npos)
                result.codecs += (result.codecs.empty() ? "" : "+") + name;
        }
    }

    ProbeResult FailureOf(int error) const {
        if (cut_ == Cut::Stop || stop_.load())
            return Outcome(ProbeOutcome::Interrupted, "interrupted");
        if (cut_ == Cut::Deadline) {
            return Outcome(ProbeOutcome::TimedOut,
                           "no media within " + SecondsText(request_.deadline));
        }
        if (IsHttpError(error) || log_.httpStatus >= 400) {
            int status = log_.httpStatus >= 400 ? log_.httpStatus : StatusOfHttpError(error);
            ProbeResult result =
                Outcome(ProbeOutcome::HttpError,
                        status ? "HTTP " + std::to_string(status) : ErrorText(error));
            result.httpStatus = status;
            return result;
        }
        if (error == AVERROR(ECONNREFUSED))
            return Outcome(ProbeOutcome::Refused, "connection refused");
        if (error == AVERROR_INVALIDDATA || error == AVERROR_DEMUXER_NOT_FOUND ||
            error == AVERROR_EOF)
            return Outcome(ProbeOutcome::NotMedia, "not a media stream");
        if (log_.redirects >= kRedirectLimit)
            return Outcome(ProbeOutcome::Failed, "too many redirects");
        return Outcome(ProbeOutcome::Failed, ErrorText(error));
    }

    const ProbeRequest& request_;
    const std::atomic<bool>& stop_;
    const Clock::time_point start_;
    Clock::time_point deadline_;
    Cut cut_ = Cut::None;
    int openError_ = 0;
    ProbeLog log_;
};

}  // namespace

}  // namespace lumora

extern "C" void LumoraProbeWithLibavformat(const lumora::ProbeRequest& request,
                                           const std::atomic<bool>& stop,
                                           lumora::ProbeResult& result) {
    result = lumora::ProbeSession(request, stop).Run();
}
