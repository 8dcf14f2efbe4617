#include "tools/check_report.h"

#include <cstdint>
#include <cstdio>

#include "document/file_stream.h"
#include "document/text_encoding.h"

namespace lumora::tools {
namespace {

constexpr const char* kHeader =
    "country,channel,name,stream,address,result,reason,kbps,height,codecs,first_packet_ms\r\n";

std::string Field(std::string text) {
    if (!text.empty() && (text[0] == '=' || text[0] == '+' || text[0] == '-' || text[0] == '@'))
        text.insert(0, 1, '\'');
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string Number(int value, bool known) {
    return known ? std::to_string(value) : std::string();
}

}  // namespace

std::string CheckReportText(const std::vector<CatalogueStream>& streams,
                            const std::vector<ProbeResult>& results) {
    std::string text = kHeader;
    for (std::size_t i = 0; i < streams.size() && i < results.size(); ++i) {
        const CatalogueStream& stream = streams[i];
        const ProbeResult& result = results[i];
        text += Field(stream.country) + ",";
        text += Field(stream.channelId) + ",";
        text += Field(stream.channelName) + ",";
        text += std::to_string(stream.index) + ",";
        text += Field(stream.address) + ",";
        text += Field(std::string(OutcomeText(result.outcome))) + ",";
        text += Field(result.reason) + ",";
        text += Number(result.kbps, result.kbps > 0) + ",";
        text += Number(result.height, result.height > 0) + ",";
        text += Field(result.codecs) + ",";
        text += Number(result.firstPacketMs, result.firstPacketMs >= 0) + "\r\n";
    }
    return text;
}

bool WriteCheckReport(const std::string& path, const std::string& text) {
    if (text.size() > UINT32_MAX)
        return false;
    const std::string temporary = path + ".tmp";
    bool written = false;
    {
        FileStream file;
        if (file.Open(FromUtf8(temporary), OpenMode::Write)) {
            written =
                file.Write(text.data(), std::uint32_t(text.size())) == text.size() && file.Sync();
        }
    }
    if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace lumora::tools
