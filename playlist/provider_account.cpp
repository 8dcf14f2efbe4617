#include "playlist/provider_account.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <ctime>
#include <limits>

#include <nlohmann/json.hpp>

#include "catalogue/catchup_attributes.h"
#include "catalogue/guide_attributes.h"
#include "catalogue/stream_address.h"

namespace lumora {
namespace {

using Json = nlohmann::json;

// Names and statuses as kept: real ones are a few dozen bytes.
constexpr std::size_t kMaxAccountText = 256;

bool IsUnreserved(unsigned char c) {
    return std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~';
}

std::string PercentEncoded(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const unsigned char c : text) {
        if (IsUnreserved(c)) {
            encoded += char(c);
        } else {
            encoded += '%';
            encoded += kHex[c >> 4];
            encoded += kHex[c & 15];
        }
    }
    return encoded;
}

// A JSON answer, or a discarded value for anything that is not JSON.
Json Parse(std::string_view text) {
    if (text.size() > kMaxAccountAnswerBytes)
        return Json(Json::value_t::discarded);
    return Json::parse(text.begin(), text.end(), nullptr, false);
}

const Json* Member(const Json& object, const char* name) {
    if (!object.is_object())
        return nullptr;
    const auto found = object.find(name);
    return found == object.end() ? nullptr : &*found;
}

// A whole number written as a number or as a text of digits ("42", "-1").
std::optional<std::int64_t> Integer(const Json* value) {
    if (value == nullptr)
        return std::nullopt;
    if (value->is_number_integer())
        return value->get<std::int64_t>();
    if (value->is_number_unsigned()) {
        const auto number = value->get<std::uint64_t>();
        if (number > std::uint64_t(std::numeric_limits<std::int64_t>::max()))
            return std::nullopt;
        return std::int64_t(number);
    }
    if (value->is_number_float()) {
        const double number = value->get<double>();
        if (!std::isfinite(number) || number != std::floor(number) || std::fabs(number) > 1e15)
            return std::nullopt;
        return std::int64_t(number);
    }
    if (value->is_boolean())
        return value->get<bool>() ? 1 : 0;
    if (!value->is_string())
        return std::nullopt;
    const std::string& text = value->get_ref<const std::string&>();
    if (text.empty() || text.size() > 18)
        return std::nullopt;
    std::size_t at = text[0] == '-' ? 1 : 0;
    if (at == text.size())
        return std::nullopt;
    for (std::size_t i = at; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
    }
    return std::stoll(text);
}

// A text member, bounded; empty for anything else.
std::string Text(const Json* value) {
    if (value == nullptr)
        return {};
    if (value->is_string()) {
        const std::string& text = value->get_ref<const std::string&>();
        return text.size() <= kMaxAccountText ? text : std::string();
    }
    if (const std::optional<std::int64_t> number = Integer(value))
        return std::to_string(*number);
    return {};
}

std::string Trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return std::string(text);
}

// "YYYY-MM-DD HH:MM:SS" read as if it were UTC.
std::optional<std::int64_t> ClockAsUtc(const std::string& text) {
    std::tm parts{};
    if (text.size() < 19 ||
        std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d", &parts.tm_year, &parts.tm_mon,
                    &parts.tm_mday, &parts.tm_hour, &parts.tm_min, &parts.tm_sec) != 6)
        return std::nullopt;
    parts.tm_year -= 1900;
    parts.tm_mon -= 1;
    return std::int64_t(timegm(&parts));
}

AccountStatus StatusFrom(const std::string& status) {
    std::string lower;
    for (const char c : status)
        lower += char(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "active")
        return AccountStatus::Active;
    if (lower == "expired")
        return AccountStatus::Expired;
    return AccountStatus::Disabled;
}

// "UK" is the United Kingdom's code in channel names; the catalogue's is GB.
std::string CountryCode(std::string_view code) {
    std::string upper;
    for (const char c : code)
        upper += char(std::toupper(static_cast<unsigned char>(c)));
    return upper == "UK" ? "GB" : upper;
}

}  // namespace

std::optional<std::string> NormaliseAccountServer(std::string_view server) {
    std::string text = Trimmed(server);
    const auto lower = [](std::string_view s) {
        std::string out;
        for (const char c : s)
            out += char(std::tolower(static_cast<unsigned char>(c)));
        return out;
    };
    const std::string start = lower(std::string_view(text).substr(0, 8));
    if (!start.starts_with("http://") && !start.starts_with("https://"))
        return std::nullopt;
    if (text.size() > 1024 || text.find_first_of(" \t\r\n?#") != std::string::npos)
        return std::nullopt;
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return std::nullopt;
    }
    // What users paste: the API's own address, a trailing "/".
    for (const char* page : {"/player_api.php", "/get.php", "/xmltv.php"}) {
        if (lower(text).ends_with(page))
            text.resize(text.size() - std::string_view(page).size());
    }
    const std::size_t host = text.find("://") + 3;
    while (text.size() > host && text.ends_with('/'))
        text.pop_back();
    if (host >= text.size() || text[host] == '/')
        return std::nullopt;  // no host
    return text;
}

std::string AccountApiAddress(const ProviderAccount& account, std::string_view action) {
    std::string address = account.server +
                          "/player_api.php?username=" + PercentEncoded(account.user) +
                          "&password=" + PercentEncoded(account.password);
    if (!action.empty())
        address += "&action=" + std::string(action);
    return address;
}

std::string AccountGuideAddress(const ProviderAccount& account) {
    return account.server + "/xmltv.php?username=" + PercentEncoded(account.user) +
           "&password=" + PercentEncoded(account.password);
}

std::optional<AccountInfo> ParseAccountInfo(std::string_view json) {
    const Json answer = Parse(json);
    const Json* user = Member(answer, "user_info");
    if (user == nullptr || !user->is_object())
        return std::nullopt;
    AccountInfo info;
    if (Integer(Member(*user, "auth")).value_or(0) != 1) {
        info.status = AccountStatus::Refused;
        return info;
    }
    info.statusText = Text(Member(*user, "status"));
    info.status = StatusFrom(info.statusText);
    if (const std::optional<std::int64_t> expires = Integer(Member(*user, "exp_date"));
        expires && *expires > 0)
        info.expires = *expires;
    info.maxConnections = int(
        std::clamp<std::int64_t>(Integer(Member(*user, "max_connections")).value_or(0), 0, 1000));
    info.activeConnections =
        int(std::clamp<std::int64_t>(Integer(Member(*user, "active_cons")).value_or(0), 0, 1000));
    if (const Json* formats = Member(*user, "allowed_output_formats");
        formats != nullptr && formats->is_array() && !formats->empty()) {
        info.transportStream = info.hls = false;
        for (const Json& format : *formats) {
            const std::string name = Text(&format);
            info.transportStream = info.transportStream || name == "ts";
            info.hls = info.hls || name == "m3u8";
        }
    }
    // An account whose status says expired while its date lies ahead is
    // taken at its status; one whose date has passed is expired.
    if (info.status == AccountStatus::Active && info.expires &&
        *info.expires < std::int64_t(std::time(nullptr)))
        info.status = AccountStatus::Expired;
    if (const Json* server = Member(answer, "server_info")) {
        const std::optional<std::int64_t> stamp = Integer(Member(*server, "timestamp_now"));
        const std::optional<std::int64_t> clock = ClockAsUtc(Text(Member(*server, "time_now")));
        if (stamp && clock) {
            // To the quarter hour: the two fields are read a moment apart.
            const std::int64_t offset = (*clock - *stamp + 450) / 900 * 900;
            if (std::llabs(offset) <= 14 * 3600)
                info.serverUtcOffset = std::int32_t(offset);
        }
    }
    return info;
}

NamePrefix SplitCountryPrefix(std::string_view name) {
    const std::string text = Trimmed(name);
    std::string_view rest = text;
    bool barred = false;
    if (rest.starts_with('|')) {  // "|DE| Name"
        rest.remove_prefix(1);
        barred = true;
    }
    std::size_t letters = 0;
    while (letters < rest.size() && letters < 3 &&
           std::isupper(static_cast<unsigned char>(rest[letters])))
        ++letters;
    if (letters < 2 || letters >= rest.size())
        return {{}, text};
    std::string_view after = rest.substr(letters);
    std::size_t blanks = 0;
    while (blanks < after.size() && after[blanks] == ' ')
        ++blanks;
    const char mark = blanks < after.size() ? after[blanks] : '\0';
    if (barred ? mark != '|' : (mark != ':' && mark != '|' && mark != '-'))
        return {{}, text};
    const std::string country = CountryCode(rest.substr(0, letters));
    after.remove_prefix(blanks + 1);
    const std::string remaining = Trimmed(after);
    if (remaining.empty())
        return {{}, text};
    return {country, remaining};
}

AccountStreams ParseAccountStreams(std::string_view streamsJson, std::string_view categoriesJson,
                                   const ProviderAccount& account, const AccountInfo& info,
                                   bool showAdult, std::int32_t localUtcOffset) {
    AccountStreams result;
    std::map<std::string, std::string> categories;
    if (const Json list = Parse(categoriesJson); list.is_array()) {
        for (const Json& category : list) {
            const std::string id = Text(Member(category, "category_id"));
            const std::string name = Trimmed(Text(Member(category, "category_name")));
            if (!id.empty() && !name.empty())
                categories.emplace(id, name);
        }
    }
    const Json streams = Parse(streamsJson);
    if (!streams.is_array()) {
        result.readable = false;
        return result;
    }
    const bool hls = !info.transportStream && info.hls;
    const std::string base = account.server + "/live/" + PercentEncoded(account.user) + "/" +
                             PercentEncoded(account.password) + "/";
    // Archive addresses are written on the server's clock.
    const std::int32_t correction =
        std::clamp((localUtcOffset - info.serverUtcOffset) / 60, -kMaxCatchupCorrectionMinutes,
                   kMaxCatchupCorrectionMinutes);
    std::size_t read = 0;
    for (const Json& stream : streams) {
        if (++read > kMaxAccountStreams) {
            ++result.skipped["too many streams"];
            continue;
        }
        if (!stream.is_object()) {
            ++result.skipped["not an object"];
            continue;
        }
        const NamePrefix name = SplitCountryPrefix(Text(Member(stream, "name")));
        if (name.rest.empty()) {
            ++result.skipped["no name"];
            continue;
        }
        const Json* idValue = Member(stream, "stream_id");
        const std::optional<std::int64_t> id = Integer(idValue);
        if (!id || *id <= 0) {
            ++result.skipped[idValue == nullptr ? "no stream id" : "stream id not a number"];
            continue;
        }
        if (Integer(Member(stream, "is_adult")).value_or(0) == 1 && !showAdult) {
            ++result.hiddenAdult;
            continue;
        }
        M3uEntry entry;
        entry.displayName = name.rest;
        entry.address = base + std::to_string(*id) + (hls ? ".m3u8" : ".ts");
        entry.channelKey = kAccountChannelKeyPrefix + std::to_string(*id);
        if (!IsPlayableAddress(entry.address)) {
            ++result.skipped["address refused"];
            continue;
        }
        const auto category = categories.find(Text(Member(stream, "category_id")));
        if (category != categories.end()) {
            const NamePrefix group = SplitCountryPrefix(category->second);
            entry.groupTitle = category->second;
            entry.tvgCountry = name.country.empty() ? group.country : name.country;
        } else {
            entry.tvgCountry = name.country;
        }
        entry.tvgId = BoundedTvgText(Text(Member(stream, "epg_channel_id")));
        if (Integer(Member(stream, "tv_archive")).value_or(0) == 1) {
            entry.catchup.style = CatchupStyle::Xc;
            const std::int64_t days = Integer(Member(stream, "tv_archive_duration")).value_or(0);
            if (days > 0)
                entry.catchup.days = std::int32_t(std::min<std::int64_t>(days, kMaxCatchupDays));
            entry.catchup.correctionMinutes = correction;
        }
        result.playlist.entries.push_back(std::move(entry));
    }
    return result;
}

std::string MaskSecret(std::string_view text, std::string_view password) {
    std::string masked(text);
    if (password.empty())
        return masked;
    for (const std::string& form : {std::string(password), PercentEncoded(password)}) {
        for (std::size_t at = masked.find(form); at != std::string::npos;
             at = masked.find(form, at + 3))
            masked.replace(at, form.size(), "***");
    }
    return masked;
}

std::string MaskPasswordParameters(std::string_view text) {
    static constexpr std::string_view kParameter = "password=";
    std::string masked;
    for (;;) {
        const std::size_t at = text.find(kParameter);
        if (at == std::string_view::npos)
            break;
        masked += text.substr(0, at + kParameter.size());
        masked += "***";
        text.remove_prefix(at + kParameter.size());
        const std::size_t end = text.find_first_of("& \t\r\n\"'#");
        text.remove_prefix(end == std::string_view::npos ? text.size() : end);
    }
    masked += text;
    return masked;
}

}  // namespace lumora
