#include "guide/guide_unpacker.h"

#include <lzma.h>
#include <zlib.h>

#include <vector>

namespace lumora {

namespace {

constexpr std::size_t kOutputChunk = 64 * 1024;
// An xz guide made with the strongest preset needs 65 MB to unpack; a
// header that asks for more is refused rather than obeyed.
constexpr std::uint64_t kXzMemoryLimit = 80ull << 20;

}  // namespace

// One decompressor, gzip or xz, behind one face.
class GuideUnpacker::Inflater {
public:
    virtual ~Inflater() = default;
    // Unpacks `input` (all of it), passing each piece to `out`. With
    // `finish`, the stream must end here. Returns false with `error` set on
    // a broken stream, or false with `error` empty when `out` stopped.
    virtual bool Run(std::string_view input, bool finish,
                     const std::function<bool(std::string_view)>& out, std::string& error) = 0;
};

namespace {

class GzipInflater final : public GuideUnpacker::Inflater {
public:
    GzipInflater() : output_(kOutputChunk) {
        // 16 + 15: a gzip wrapper, the largest window.
        ready_ = inflateInit2(&stream_, 16 + MAX_WBITS) == Z_OK;
    }
    ~GzipInflater() override {
        if (ready_)
            inflateEnd(&stream_);
    }

    bool Run(std::string_view input, bool finish, const std::function<bool(std::string_view)>& out,
             std::string& error) override {
        if (!ready_) {
            error = "the gzip decoder could not start";
            return false;
        }
        stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
        stream_.avail_in = static_cast<uInt>(input.size());
        for (;;) {
            if (ended_ && stream_.avail_in > 0) {
                // A file of several gzip members (cat a.gz b.gz) goes on.
                if (inflateReset(&stream_) != Z_OK)
                    return Broken(error);
                ended_ = false;
            }
            stream_.next_out = output_.data();
            stream_.avail_out = static_cast<uInt>(output_.size());
            const int status = ended_ ? Z_STREAM_END : inflate(&stream_, Z_NO_FLUSH);
            if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)
                return Broken(error);
            const std::size_t produced = output_.size() - stream_.avail_out;
            if (produced > 0 &&
                !out(std::string_view(reinterpret_cast<const char*>(output_.data()), produced)))
                return false;
            if (status == Z_STREAM_END)
                ended_ = true;
            // A full output buffer may leave more output waiting inside.
            if (produced == output_.size())
                continue;
            if (stream_.avail_in == 0 || status == Z_BUF_ERROR)
                break;
        }
        if (finish && !ended_) {
            error = "the gzip stream breaks off";
            return false;
        }
        return true;
    }

private:
    bool Broken(std::string& error) {
        error = std::string("the gzip stream is damaged") +
                (stream_.msg != nullptr ? std::string(" (") + stream_.msg + ")" : std::string());
        return false;
    }

    z_stream stream_{};
    std::vector<Bytef> output_;
    bool ready_ = false;
    bool ended_ = false;
};

class XzInflater final : public GuideUnpacker::Inflater {
public:
    XzInflater() : output_(kOutputChunk) {
        ready_ = lzma_stream_decoder(&stream_, kXzMemoryLimit, LZMA_CONCATENATED) == LZMA_OK;
    }
    ~XzInflater() override { lzma_end(&stream_); }

    bool Run(std::string_view input, bool finish, const std::function<bool(std::string_view)>& out,
             std::string& error) override {
        if (!ready_) {
            error = "the xz decoder could not start";
            return false;
        }
        stream_.next_in = reinterpret_cast<const std::uint8_t*>(input.data());
        stream_.avail_in = input.size();
        const lzma_action action = finish ? LZMA_FINISH : LZMA_RUN;
        for (;;) {
            stream_.next_out = output_.data();
            stream_.avail_out = output_.size();
            const lzma_ret status = lzma_code(&stream_, action);
            const std::size_t produced = output_.size() - stream_.avail_out;
            if (produced > 0 &&
                !out(std::string_view(reinterpret_cast<const char*>(output_.data()), produced)))
                return false;
            if (status == LZMA_STREAM_END)
                return true;
            if (status == LZMA_BUF_ERROR) {
                // No progress is possible: the end came too early, or more
                // bytes are needed.
                if (finish)
                    error = "the xz stream breaks off";
                return !finish;
            }
            if (status != LZMA_OK) {
                error = status == LZMA_MEMLIMIT_ERROR
                            ? "the xz stream asks for more memory than a guide may use"
                            : "the xz stream is damaged";
                return false;
            }
            if (!finish && stream_.avail_in == 0 && stream_.avail_out > 0)
                return true;
        }
    }

private:
    lzma_stream stream_ = LZMA_STREAM_INIT;
    std::vector<std::uint8_t> output_;
    bool ready_ = false;
};

}  // namespace

GuideUnpacker::GuideUnpacker(XmlSink sink, std::uint64_t maxUnpackedBytes)
    : sink_(std::move(sink)), maxUnpacked_(maxUnpackedBytes) {}

GuideUnpacker::~GuideUnpacker() = default;

bool GuideUnpacker::Fail(std::string message) {
    failed_ = true;
    error_ = std::move(message);
    return false;
}

bool GuideUnpacker::Feed(std::string_view bytes) {
    if (failed_)
        return false;
    if (format_ == GuideFormat::NeedMore) {
        head_.append(bytes);
        if (!Decide(false))
            return false;
        if (format_ == GuideFormat::NeedMore)
            return true;
        std::string head = std::move(head_);
        head_.clear();
        return Unpack(head, false);
    }
    return Unpack(bytes, false);
}

bool GuideUnpacker::Finish() {
    if (failed_)
        return false;
    if (format_ == GuideFormat::NeedMore) {
        if (!Decide(true))
            return false;
        std::string head = std::move(head_);
        head_.clear();
        if (!Unpack(head, true))
            return false;
    } else if (!Unpack({}, true)) {
        return false;
    }
    // A guide that ends before its XML could be told apart.
    if (innerFormat_ == GuideFormat::NeedMore) {
        innerFormat_ = SniffGuideFormat(innerHead_, true);
        if (innerFormat_ != GuideFormat::Xml)
            return Fail(RefusedFormatMessage(innerFormat_));
        std::string head = std::move(innerHead_);
        innerHead_.clear();
        return sink_(head) || (failed_ = true, false);
    }
    return true;
}

bool GuideUnpacker::Decide(bool complete) {
    format_ = SniffGuideFormat(head_, complete);
    switch (format_) {
    case GuideFormat::NeedMore: return true;
    case GuideFormat::Gzip: inflater_ = std::make_unique<GzipInflater>(); return true;
    case GuideFormat::Xz: inflater_ = std::make_unique<XzInflater>(); return true;
    case GuideFormat::Xml: return true;
    default: return Fail(RefusedFormatMessage(format_));
    }
}

bool GuideUnpacker::Unpack(std::string_view bytes, bool finish) {
    if (!inflater_)
        return bytes.empty() || Deliver(bytes);
    std::string error;
    const bool ran = inflater_->Run(
        bytes, finish, [this](std::string_view xml) { return Deliver(xml); }, error);
    if (!ran && !failed_)
        return Fail(error);
    return ran;
}

bool GuideUnpacker::Deliver(std::string_view xml) {
    if (failed_)
        return false;
    unpacked_ += xml.size();
    if (unpacked_ > maxUnpacked_) {
        return Fail("the guide is larger than " + std::to_string(maxUnpacked_ >> 20) +
                    " MB unpacked");
    }
    if (innerFormat_ == GuideFormat::NeedMore) {
        innerHead_.append(xml);
        innerFormat_ = SniffGuideFormat(innerHead_, false);
        if (innerFormat_ == GuideFormat::NeedMore)
            return true;
        if (innerFormat_ != GuideFormat::Xml)
            return Fail(RefusedFormatMessage(innerFormat_));
        std::string head = std::move(innerHead_);
        innerHead_.clear();
        if (!sink_(head)) {
            failed_ = true;
            return false;
        }
        return true;
    }
    if (!sink_(xml)) {
        failed_ = true;
        return false;
    }
    return true;
}

}  // namespace lumora
