// The recording engine proper: libavformat reads one stream and writes its
// packets, as they are, into an MPEG-TS file. Built as the module
// "lumora-record-engine.so", which record_engine.cpp loads on first use.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "probe/libav_helpers.h"
#include "record/record_engine.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
}

namespace lumora {
namespace {

using namespace libav;

using Clock = std::chrono::steady_clock;
using WallClock = std::chrono::system_clock;

// The protocols a recording may use, for the address itself and for
// whatever a playlist behind it names: network transports only, never
// "file", "fd", "pipe", "data" or the protocols that wrap other addresses.
constexpr const char* kNetworkProtocols =
    "http,https,tcp,tls,crypto,httpproxy,rtmp,rtmps,rtmpt,rtmpts,rtmpe,rtmpte,rtp,srtp,udp,mmsh,"
    "mmst,srt,rtsp,rtsps";

// Opening a stream (connect, first answer, naming its streams) may take
// this long.
constexpr std::chrono::seconds kOpenLimit{15};
// Between two tries to reach a lost stream.
constexpr std::chrono::seconds kRetryPause{1};
// Written data reaches the file at least this often, even from a slow stream.
constexpr std::chrono::milliseconds kFlushEvery{250};
// Seven TS packets per write call: small pieces, each whole.
constexpr int kWriteBufferBytes = 188 * 7 * 4;
// The recording's first packet is at this media time, so that a packet of
// another stream a little earlier is never before zero.
constexpr std::int64_t kStartMicroseconds = 1'000'000;
// A packet this far before the end of what was recorded, or this far after
// it, means the stream's clock jumped (the streams of one stream are never
// that far apart).
constexpr std::int64_t kJumpBackMicroseconds = 2'000'000;
constexpr std::int64_t kJumpAheadMicroseconds = 10'000'000;
// After a gap the next packets follow the last ones at this distance.
constexpr std::int64_t kGapMicroseconds = 40'000;

#if LIBAVFORMAT_VERSION_MAJOR >= 61
using WriteBytes = const std::uint8_t*;
#else
using WriteBytes = std::uint8_t*;
#endif

void SetUpLibavformatOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        avformat_network_init();
        // libavformat's notes on each segment and reconnect stay off the
        // terminal of a program that did not ask for another level; the
        // recording's outcome says what went wrong.
        if (av_log_get_level() == AV_LOG_INFO)
            av_log_set_level(AV_LOG_ERROR);
    });
}

struct InputClose {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using Input = std::unique_ptr<AVFormatContext, InputClose>;

struct OutputFree {
    void operator()(AVFormatContext* context) const { avformat_free_context(context); }
};
using Output = std::unique_ptr<AVFormatContext, OutputFree>;

struct IoFree {
    void operator()(AVIOContext* io) const {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
using Io = std::unique_ptr<AVIOContext, IoFree>;

class FileHandle {
public:
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle() {
        if (fd_ >= 0)
            close(fd_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

bool IsCarriedSubtitle(AVCodecID codec) {
    return codec == AV_CODEC_ID_DVB_SUBTITLE || codec == AV_CODEC_ID_DVB_TELETEXT;
}

bool IsRecorded(const AVCodecParameters& codec) {
    if (codec.codec_id == AV_CODEC_ID_NONE)
        return false;
    return codec.codec_type == AVMEDIA_TYPE_VIDEO || codec.codec_type == AVMEDIA_TYPE_AUDIO ||
           (codec.codec_type == AVMEDIA_TYPE_SUBTITLE && IsCarriedSubtitle(codec.codec_id));
}

std::int64_t VariantBitrate(const AVProgram& program) {
    const AVDictionaryEntry* entry = av_dict_get(program.metadata, "variant_bitrate", nullptr, 0);
    return entry ? std::strtoll(entry->value, nullptr, 10) : 0;
}

// Of an HLS master playlist's variants only the one with the highest
// announced bit rate is recorded, as a player would pick it.
const AVProgram* BestVariant(const AVFormatContext& context) {
    const AVProgram* best = nullptr;
    for (unsigned i = 0; i < context.nb_programs; ++i) {
        const AVProgram* program = context.programs[i];
        if (program->nb_stream_indexes > 0 &&
            (best == nullptr || VariantBitrate(*program) > VariantBitrate(*best)))
            best = program;
    }
    return context.nb_programs > 1 ? best : nullptr;
}

bool ProgramHasStream(const AVProgram& program, unsigned index) {
    return std::find(program.stream_index, program.stream_index + program.nb_stream_indexes,
                     index) != program.stream_index + program.nb_stream_indexes;
}

double Seconds(Clock::duration span) {
    return std::chrono::duration<double>(span).count();
}

// One recording: the input of the moment, the output file and the clock
// the interrupt callback reads. Lives on the recording thread's stack.
class RecordSession {
public:
    RecordSession(const RecordingRequest& request, const std::atomic<bool>& stop)
        : request_(request), stop_(stop) {}

    RecordingOutcome Run() {
        SetUpLibavformatOnce();
        if (StartsWithIgnoringCase(request_.address, kLavfiPrefix)) {
            Fail(RecordingStatus::OpenFailed, "a test pattern is not recorded");
            return outcome_;
        }
        int error = 0;
        input_ = Open(error);
        if (!input_) {
            Fail(EndedByRequest() ? EndStatus() : RecordingStatus::OpenFailed,
                 "the stream did not open: " + ErrorText(error));
            return outcome_;
        }
        if (StartOutput()) {
            RecordUntilTheEnd();
            Finish();
        }
        return outcome_;
    }

private:
    enum class Cut { None, Ended, Stalled };

    static int Interrupt(void* opaque) {
        return static_cast<RecordSession*>(opaque)->ShouldCut() ? 1 : 0;
    }

    bool ShouldCut() {
        if (EndedByRequest())
            return true;
        return Clock::now() >= activityDeadline_;
    }

    bool EndedByRequest() const { return stop_.load() || WallClock::now() >= request_.until; }

    RecordingStatus EndStatus() const {
        return stop_.load() ? RecordingStatus::Stopped : RecordingStatus::Completed;
    }

    // Sets the outcome of a recording that ends here.
    void Fail(RecordingStatus status, std::string error) {
        outcome_.status = status;
        outcome_.error = std::move(error);
    }

    Input Open(int& error) {
        activityDeadline_ = Clock::now() + kOpenLimit;
        AVFormatContext* raw = avformat_alloc_context();
        if (raw == nullptr) {
            error = AVERROR(ENOMEM);
            return nullptr;
        }
        raw->interrupt_callback = {&RecordSession::Interrupt, this};
        raw->probesize = 2'000'000;
        raw->max_analyze_duration = 2 * AV_TIME_BASE;
        raw->skip_estimate_duration_from_pts = 1;

        Options options;
        options.Set("protocol_whitelist", kNetworkProtocols);
        if (!request_.userAgent.empty() && IsSafeHeaderValue(request_.userAgent))
            options.Set("user_agent", request_.userAgent);
        if (!request_.referrer.empty() && IsSafeHeaderValue(request_.referrer))
            options.Set("referer", request_.referrer);

        std::string url = request_.address;
        // "mms://" is MMS over HTTP first, as players try it.
        if (StartsWithIgnoringCase(url, kMmsPrefix))
            url = "mmsh://" + url.substr(kMmsPrefix.size());
        error = avformat_open_input(&raw, url.c_str(), nullptr, options.Address());
        if (error < 0)
            return nullptr;  // libavformat freed the context
        Input input(raw);
        error = avformat_find_stream_info(input.get(), nullptr);
        if (error < 0 && EndedByRequest())
            return nullptr;
        error = 0;
        activityDeadline_ = Clock::now() + request_.stallLimit;
        return input;
    }

    // The input streams that are recorded, in their order.
    std::vector<int> ChooseStreams(AVFormatContext& input) {
        const AVProgram* variant = BestVariant(input);
        std::vector<int> chosen;
        for (unsigned i = 0; i < input.nb_streams; ++i) {
            AVStream* stream = input.streams[i];
            if (IsRecorded(*stream->codecpar) &&
                (variant == nullptr || ProgramHasStream(*variant, i)))
                chosen.push_back(int(i));
            else
                stream->discard = AVDISCARD_ALL;
        }
        return chosen;
    }

    static int WritePacket(void* opaque, WriteBytes bytes, int size) {
        return static_cast<RecordSession*>(opaque)->WriteToFile(bytes, size);
    }

    // Writes what it can; a short or failed write (a full disk, a file-size
    // limit) ends the recording with what reached the file.
    int WriteToFile(const std::uint8_t* bytes, int size) {
        int done = 0;
        while (done < size) {
            ssize_t written = write(file_->Get(), bytes + done, std::size_t(size - done));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0) {
                writeError_ = written < 0 ? errno : ENOSPC;
                return AVERROR(writeError_);
            }
            done += int(written);
            outcome_.bytes += written;
        }
        return size;
    }

    bool StartOutput() {
        std::vector<int> chosen = ChooseStreams(*input_);
        if (chosen.empty()) {
            Fail(RecordingStatus::OpenFailed, "the stream has no sound or picture");
            return false;
        }
        AVFormatContext* raw = nullptr;
        if (avformat_alloc_output_context2(&raw, nullptr, "mpegts", nullptr) < 0) {
            Fail(RecordingStatus::FileFailed, "the MPEG-TS writer is missing");
            return false;
        }
        output_.reset(raw);
        av_dict_set(&output_->metadata, "service_name", request_.channel.c_str(), 0);
        av_dict_set(&output_->metadata, "service_provider", "Lumora", 0);
        av_dict_set(&output_->metadata, "title", request_.title.c_str(), 0);
        av_dict_set(&output_->metadata, "comment", request_.description.c_str(), 0);
        for (int index : chosen) {
            const AVStream* in = input_->streams[index];
            AVStream* out = avformat_new_stream(output_.get(), nullptr);
            if (out == nullptr || avcodec_parameters_copy(out->codecpar, in->codecpar) < 0) {
                Fail(RecordingStatus::FileFailed, "out of memory");
                return false;
            }
            out->codecpar->codec_tag = 0;
            out->time_base = in->time_base;
            av_dict_copy(&out->metadata, in->metadata, 0);
            outputStreams_.push_back({in->codecpar->codec_type, in->codecpar->codec_id});
        }
        MapStreams(chosen);

        file_ = std::make_unique<FileHandle>(
            open(request_.file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (file_->Get() < 0) {
            Fail(RecordingStatus::FileFailed,
                 "cannot write " + request_.file + ": " + std::strerror(errno));
            return false;
        }
        auto* buffer = static_cast<unsigned char*>(av_malloc(kWriteBufferBytes));
        io_.reset(avio_alloc_context(buffer, kWriteBufferBytes, 1, this, nullptr,
                                     &RecordSession::WritePacket, nullptr));
        if (!io_) {
            av_free(buffer);
            Fail(RecordingStatus::FileFailed, "out of memory");
            return false;
        }
        output_->pb = io_.get();
        output_->flags |= AVFMT_FLAG_FLUSH_PACKETS;
        if (int error = avformat_write_header(output_.get(), nullptr); error < 0) {
            Fail(writeError_ ? RecordingStatus::WriteFailed : RecordingStatus::FileFailed,
                 "cannot start the file: " + ErrorText(error));
            return false;
        }
        headerWritten_ = true;
        lastFlush_ = Clock::now();
        return true;
    }

    // Input stream index -> output stream index (or -1) for the current
    // input: the n-th stream of a kind and codec goes to the n-th such
    // output stream, so a stream that comes back the same is recorded on.
    void MapStreams(const std::vector<int>& chosen) {
        streamMap_.assign(input_->nb_streams, -1);
        std::vector<bool> taken(outputStreams_.size(), false);
        for (int index : chosen) {
            const AVCodecParameters& codec = *input_->streams[index]->codecpar;
            for (std::size_t out = 0; out < outputStreams_.size(); ++out) {
                if (!taken[out] && outputStreams_[out].type == codec.codec_type &&
                    outputStreams_[out].codec == codec.codec_id) {
                    taken[out] = true;
                    streamMap_[index] = int(out);
                    break;
                }
            }
        }
        lastDts_.resize(outputStreams_.size(), AV_NOPTS_VALUE);
        connectionShift_.reset();
    }

    void RecordUntilTheEnd() {
        Packet packet(av_packet_alloc());
        while (true) {
            int error = av_read_frame(input_.get(), packet.get());
            if (error < 0) {
                if (EndedByRequest()) {
                    outcome_.status = EndStatus();
                    return;
                }
                if (!Reconnect(error))
                    return;
                continue;
            }
            activityDeadline_ = Clock::now() + request_.stallLimit;
            bool written = WritePacketOut(*packet);
            av_packet_unref(packet.get());
            if (!written)
                return;
            if (EndedByRequest()) {
                outcome_.status = EndStatus();
                return;
            }
        }
    }

    // False when the file cannot take more.
    bool WritePacketOut(AVPacket& packet) {
        if (packet.stream_index < 0 || std::size_t(packet.stream_index) >= streamMap_.size())
            return true;
        const int out = streamMap_[packet.stream_index];
        if (out < 0 || packet.dts == AV_NOPTS_VALUE)
            return true;
        const AVRational inBase = input_->streams[packet.stream_index]->time_base;
        const AVRational outBase = output_->streams[out]->time_base;
        const std::int64_t dtsMicroseconds = av_rescale_q(packet.dts, inBase, AV_TIME_BASE_Q);
        // A new connection, or a stream whose clock jumped (a provider's
        // restart, a spliced programme): its packets go on right after the
        // ones recorded, so the file's time runs on without a hole or a
        // step back.
        if (!connectionShift_ || IsJump(dtsMicroseconds + *connectionShift_)) {
            connectionShift_ = (recordedEnd_ == AV_NOPTS_VALUE ? kStartMicroseconds
                                                               : recordedEnd_ + kGapMicroseconds) -
                               dtsMicroseconds;
        }
        const std::int64_t shift = *connectionShift_;
        av_packet_rescale_ts(&packet, inBase, outBase);
        const std::int64_t outShift = av_rescale_q(shift, AV_TIME_BASE_Q, outBase);
        packet.dts += outShift;
        if (packet.pts != AV_NOPTS_VALUE)
            packet.pts += outShift;
        // The writer takes each stream's packets in time order only; what a
        // stream sends out of order is left out rather than ending the file.
        if (packet.dts < 0 || (lastDts_[out] != AV_NOPTS_VALUE && packet.dts <= lastDts_[out]) ||
            (packet.pts != AV_NOPTS_VALUE && packet.pts < packet.dts))
            return true;
        lastDts_[out] = packet.dts;
        const std::int64_t start = dtsMicroseconds + shift;
        const std::int64_t end = start + av_rescale_q(std::max<std::int64_t>(packet.duration, 0),
                                                      outBase, AV_TIME_BASE_Q);
        packet.stream_index = out;
        packet.pos = -1;
        int error = av_interleaved_write_frame(output_.get(), &packet);
        if (writeError_ != 0)
            return StopForWriteFailure();
        if (error >= 0) {
            if (recordedStart_ == AV_NOPTS_VALUE || start < recordedStart_)
                recordedStart_ = start;
            recordedEnd_ = std::max(recordedEnd_ == AV_NOPTS_VALUE ? end : recordedEnd_, end);
        }
        if (Clock::now() - lastFlush_ >= kFlushEvery) {
            avio_flush(output_->pb);
            lastFlush_ = Clock::now();
            if (writeError_ != 0)
                return StopForWriteFailure();
        }
        return true;
    }

    bool IsJump(std::int64_t recordedMicroseconds) const {
        return recordedEnd_ != AV_NOPTS_VALUE &&
               (recordedMicroseconds < recordedEnd_ - kJumpBackMicroseconds ||
                recordedMicroseconds > recordedEnd_ + kJumpAheadMicroseconds);
    }

    bool StopForWriteFailure() {
        outcome_.status = RecordingStatus::WriteFailed;
        outcome_.error = std::string("the file cannot take more: ") + std::strerror(writeError_);
        return false;
    }

    // Opens the stream again until it answers, the time for that is over,
    // or the recording ends. False when the recording is over.
    bool Reconnect(int lostWith) {
        const Clock::time_point lost = Clock::now();
        const double at = RecordedSeconds();
        input_.reset();
        std::string lastProblem = ErrorText(lostWith);
        while (Clock::now() - lost < request_.reconnectFor) {
            if (EndedByRequest()) {
                outcome_.gaps.push_back({at, Seconds(Clock::now() - lost)});
                outcome_.status = EndStatus();
                return false;
            }
            int error = 0;
            input_ = Open(error);
            if (input_) {
                std::vector<int> chosen = ChooseStreams(*input_);
                MapStreams(chosen);
                outcome_.gaps.push_back({at, Seconds(Clock::now() - lost)});
                return true;
            }
            lastProblem = ErrorText(error);
            PauseBeforeRetry();
        }
        outcome_.gaps.push_back({at, Seconds(Clock::now() - lost)});
        if (EndedByRequest()) {
            outcome_.status = EndStatus();
            return false;
        }
        outcome_.status = RecordingStatus::StreamLost;
        outcome_.error = "the stream was lost: " + lastProblem;
        return false;
    }

    void PauseBeforeRetry() {
        const Clock::time_point until = Clock::now() + kRetryPause;
        while (Clock::now() < until && !EndedByRequest())
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }

    double RecordedSeconds() const {
        if (recordedStart_ == AV_NOPTS_VALUE)
            return 0;
        return double(recordedEnd_ - recordedStart_) / 1e6;
    }

    void Finish() {
        if (headerWritten_ && writeError_ == 0) {
            av_write_trailer(output_.get());
            avio_flush(output_->pb);
            if (writeError_ != 0)
                StopForWriteFailure();
        }
        outcome_.seconds = RecordedSeconds();
        output_->pb = nullptr;
        io_.reset();
        file_.reset();
    }

    struct OutputStream {
        AVMediaType type;
        AVCodecID codec;
    };

    const RecordingRequest& request_;
    const std::atomic<bool>& stop_;
    Clock::time_point activityDeadline_ = Clock::now() + kOpenLimit;
    RecordingOutcome outcome_;
    Input input_;
    Output output_;
    Io io_;
    std::unique_ptr<FileHandle> file_;
    int writeError_ = 0;
    bool headerWritten_ = false;
    Clock::time_point lastFlush_;
    std::vector<OutputStream> outputStreams_;
    std::vector<int> streamMap_;
    std::vector<std::int64_t> lastDts_;
    std::optional<std::int64_t> connectionShift_;
    std::int64_t recordedStart_ = AV_NOPTS_VALUE;
    std::int64_t recordedEnd_ = AV_NOPTS_VALUE;
};

}  // namespace
}  // namespace lumora

extern "C" void LumoraRecordWithLibavformat(const lumora::RecordingRequest& request,
                                            const std::atomic<bool>& stop,
                                            lumora::RecordingOutcome& outcome) {
    outcome = lumora::RecordSession(request, stop).Run();
}
