#include "shell/main_window/track_labels.h"

#include <array>
#include <utility>

#include <unicode/uloc.h>

#include "catalogue/languages.h"
#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "catalogue/text_format.h"
#include "player/language_spellings.h"

namespace lumora {

namespace {

constexpr const char* kTrackNumberKey = "str_track_number";

constexpr std::array<std::pair<std::string_view, const char*>, 16> kCodecNames = {{
    {"aac", "AAC"},
    {"aac_latm", "AAC"},
    {"ac3", "AC-3"},
    {"eac3", "E-AC-3"},
    {"mp2", "MPEG audio"},
    {"mp3", "MP3"},
    {"opus", "Opus"},
    {"vorbis", "Vorbis"},
    {"flac", "FLAC"},
    {"dts", "DTS"},
    {"dvb_subtitle", "DVB"},
    {"dvb_teletext", "Teletext"},
    {"subrip", "SRT"},
    {"webvtt", "WebVTT"},
    {"mov_text", "Text"},
    {"ass", "ASS"},
}};

std::string InterfaceLocale() {
    return QString::fromStdU16String(FindStringSetting(kLanguage).value_or(u"en")).toStdString();
}

}  // namespace

QString LanguageDisplayName(std::string_view tag) {
    const std::string code = ShortLanguageCode(tag);
    if (code.empty() || code == "und")
        return {};
    UChar name[128];
    UErrorCode status = U_ZERO_ERROR;
    const int length =
        uloc_getDisplayLanguage(code.c_str(), InterfaceLocale().c_str(), name, 128, &status);
    // A code ICU does not know comes back as itself, with a warning.
    if (U_FAILURE(status) || status == U_USING_DEFAULT_WARNING || length <= 0 || length > 128)
        return QString::fromStdString(std::string(tag));
    QString shown = QString::fromUtf16(reinterpret_cast<const char16_t*>(name), length);
    // Names are listed on their own: "Deutsch", "Français", not "français".
    if (!shown.isEmpty())
        shown[0] = shown[0].toUpper();
    return shown;
}

QString CodecLabel(std::string_view codec) {
    for (const auto& [name, label] : kCodecNames) {
        if (codec == name)
            return QString::fromLatin1(label);
    }
    // Matroska's WebVTT is "webvtt-webm" and the like.
    if (codec.rfind("webvtt", 0) == 0)
        return QStringLiteral("WebVTT");
    return QString::fromStdString(std::string(codec)).toUpper();
}

QString TrackLabel(const MediaTrack& track, int position) {
    QString label = LanguageDisplayName(track.language);
    if (label.isEmpty())
        label = QString::fromStdU16String(FormatText(LookupText(kTrackNumberKey), {position}));
    const QString title = QString::fromStdString(track.title).trimmed();
    if (!title.isEmpty() && title.compare(label, Qt::CaseInsensitive) != 0 &&
        title.compare(QString::fromStdString(track.language), Qt::CaseInsensitive) != 0)
        label += QStringLiteral(", ") + title;
    if (!track.codec.empty())
        label += QStringLiteral(" (") + CodecLabel(track.codec) + QLatin1Char(')');
    return label;
}

}  // namespace lumora
