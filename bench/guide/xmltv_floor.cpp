#include "xmltv_floor.h"

#include <expat.h>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <vector>

namespace lumora::bench {

std::int64_t CountGuideElements(const std::string& gzipPath) {
    const int file = ::open(gzipPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return -1;
    XML_Parser parser = XML_ParserCreate(nullptr);
    std::int64_t elements = 0;
    XML_SetUserData(parser, &elements);
    XML_SetStartElementHandler(parser, [](void* count, const XML_Char*, const XML_Char**) {
        ++*static_cast<std::int64_t*>(count);
    });
    z_stream stream{};
    inflateInit2(&stream, 16 + MAX_WBITS);
    std::vector<char> input(256 * 1024);
    std::vector<char> output(64 * 1024);
    bool ok = true;
    for (ssize_t got; ok && (got = ::read(file, input.data(), input.size())) > 0;) {
        stream.next_in = reinterpret_cast<Bytef*>(input.data());
        stream.avail_in = static_cast<uInt>(got);
        do {
            stream.next_out = reinterpret_cast<Bytef*>(output.data());
            stream.avail_out = static_cast<uInt>(output.size());
            const int status = inflate(&stream, Z_NO_FLUSH);
            if (status != Z_OK && status != Z_STREAM_END) {
                ok = false;
                break;
            }
            const int produced = static_cast<int>(output.size() - stream.avail_out);
            if (XML_Parse(parser, output.data(), produced, XML_FALSE) != XML_STATUS_OK)
                ok = false;
        } while (ok && stream.avail_out == 0);
    }
    ok = ok && XML_Parse(parser, nullptr, 0, XML_TRUE) == XML_STATUS_OK;
    inflateEnd(&stream);
    XML_ParserFree(parser);
    ::close(file);
    return ok ? elements : -1;
}

}  // namespace lumora::bench
