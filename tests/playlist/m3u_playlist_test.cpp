// Provider playlists as they come: what each entry's address, headers,
// group and name turn out to be.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "playlist/m3u_playlist.h"

namespace lumora {
namespace {

struct Expected {
    std::string name;
    std::string address;
    std::string userAgent;
    std::string referrer;
    std::string group;
};

struct Row {
    const char* what;
    std::string text;
    std::string base;  // the playlist's own address
    std::vector<Expected> entries;
    std::size_t refused = 0;
};

TEST(ProviderPlaylists, EveryConventionGivesTheRightAddressAndHeaders) {
    const Row rows[] = {
        {"group-title only, no tvg-id",
         "#EXTM3U\n#EXTINF:-1 group-title=\"Sport\",Arena 1\nhttp://p.example/1.ts\n",
         "",
         {{"Arena 1", "http://p.example/1.ts", "", "", "Sport"}}},
        {"#EXTGRP gives the group",
         "#EXTM3U\n#EXTINF:-1,Kino 2\n#EXTGRP:Filme\nhttp://p.example/2.ts\n",
         "",
         {{"Kino 2", "http://p.example/2.ts", "", "", "Filme"}}},
        {"player options, quoted or not",
         "#EXTM3U\n#EXTINF:-1,A\n#EXTVLCOPT:http-user-agent=\"Agent A/1.0 (X11)\"\n"
         "#EXTVLCOPT:http-referrer=https://r.example/\nhttp://p.example/a\n",
         "",
         {{"A", "http://p.example/a", "Agent A/1.0 (X11)", "https://r.example/", ""}}},
        {"attributes on the #EXTINF line",
         "#EXTINF:-1 http-user-agent=\"UA,1\" "
         "http-referrer=\"https://r.example/x\",B\nhttp://p.example/b\n"
         "#EXTINF:-1 user-agent=Plain,C\nhttp://p.example/c\n",
         "",
         {{"B", "http://p.example/b", "UA,1", "https://r.example/x", ""},
          {"C", "http://p.example/c", "Plain", "", ""}}},
        {"Kodi headers after the bar, any case, URL-decoded",
         "#EXTINF:-1,D\nhttp://p.example/"
         "d.m3u8|user-agent=Mozilla%2F5.0%20(Linux)&REFERER=https%3A%2F%2Fr.example%2F"
         "&Origin=x\n",
         "",
         {{"D", "http://p.example/d.m3u8", "Mozilla/5.0 (Linux)", "https://r.example/", ""}}},
        {"#KODIPROP, comments, blank and indented lines between entry and address",
         "#EXTM3U\n#EXTINF:-1 tvg-name=\"E\",E, the channel, with "
         "commas\n#KODIPROP:inputstream=adaptive\n\n"
         "# a comment\n   http://p.example/e   \n",
         "",
         {{"E, the channel, with commas", "http://p.example/e", "", "", ""}}},
        {"a second #EXTM3U header in the middle",
         "#EXTM3U\n#EXTINF:-1,F\nhttp://p.example/f\n#EXTM3U\n#EXTINF:-1,G\nhttp://p.example/g\n",
         "",
         {{"F", "http://p.example/f", "", "", ""}, {"G", "http://p.example/g", "", "", ""}}},
        {"relative addresses against the playlist's own address",
         "#EXTINF:-1,H\nlive/h.m3u8\n#EXTINF:-1,I\n/root/i.m3u8\n#EXTINF:-1,J\n//cdn.example/"
         "j.m3u8\n",
         "https://lists.example/tv/list.m3u?token=1",
         {{"H", "https://lists.example/tv/live/h.m3u8", "", "", ""},
          {"I", "https://lists.example/root/i.m3u8", "", "", ""},
          {"J", "https://cdn.example/j.m3u8", "", "", ""}}},
        {"relative addresses without an address of its own are refused",
         "#EXTINF:-1,K\nlive/k.m3u8\n#EXTINF:-1,L\nhttp://p.example/l\n",
         "",
         {{"L", "http://p.example/l", "", "", ""}},
         1},
        {"addresses that may not be opened are refused",
         "#EXTINF:-1,M\nfile:///etc/passwd\n#EXTINF:-1,N\nfd://0\n#EXTINF:-1,O\nhttp://p.example/"
         "o\n",
         "",
         {{"O", "http://p.example/o", "", "", ""}},
         2},
        {"byte order mark and CRLF",
         "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:-1,P\r\nhttp://p.example/p\r\n",
         "",
         {{"P", "http://p.example/p", "", "", ""}}},
        {"Latin-1 names become UTF-8",
         "#EXTM3U\n#EXTINF:-1 group-title=\"T\xE9l\xE9\",Canal Fran\xE7"
         "ais\nhttp://p.example/q\n",
         "",
         {{"Canal Fran\xC3\xA7"
           "ais",
           "http://p.example/q", "", "", "T\xC3\xA9l\xC3\xA9"}}},
        {"a header line break is never sent",
         "#EXTINF:-1,R\n#EXTVLCOPT:http-user-agent=bad\x01value\nhttp://p.example/"
         "r|Referer=a%0D%0AX-Evil: 1\n",
         "",
         {{"R", "http://p.example/r", "", "", ""}}},
    };
    for (const Row& row : rows) {
        M3uPlaylist playlist = ParseM3uText(row.text, row.base);
        ASSERT_EQ(playlist.entries.size(), row.entries.size()) << row.what;
        for (std::size_t i = 0; i < row.entries.size(); ++i) {
            const M3uEntry& got = playlist.entries[i];
            const Expected& want = row.entries[i];
            EXPECT_EQ(got.displayName, want.name) << row.what;
            EXPECT_EQ(got.address, want.address) << row.what;
            EXPECT_EQ(got.userAgent, want.userAgent) << row.what;
            EXPECT_EQ(got.referrer, want.referrer) << row.what;
            EXPECT_EQ(got.groupTitle, want.group) << row.what;
        }
        EXPECT_EQ(playlist.refused, row.refused) << row.what;
    }
}

TEST(ProviderPlaylists, OptionsBelongToTheNextAddressOnly) {
    M3uPlaylist playlist = ParseM3uText(
        "#EXTINF:-1,A\n#EXTVLCOPT:http-user-agent=UA\nhttp://p.example/a\n"
        "#EXTINF:-1,B\nhttp://p.example/b\n");
    ASSERT_EQ(playlist.entries.size(), 2u);
    EXPECT_EQ(playlist.entries[0].userAgent, "UA");
    EXPECT_EQ(playlist.entries[1].userAgent, "");
}

// However a provider writes the picture quality in a tag, the channel name
// is the same and the tag only ranks the stream.
TEST(ProviderPlaylists, QualityTagsLeaveTheNameInAnyWriting) {
    struct QualityRow {
        const char* raw;
        const char* name;
        int resolution;
    };
    const QualityRow rows[] = {
        {"Alpha (720 p)", "Alpha", 720},
        {"Alpha ( 1080 P )", "Alpha", 1080},
        {"Alpha (1080P)", "Alpha", 1080},
        {"Alpha (1080p50)", "Alpha", 1080},
        {"Alpha [HD]", "Alpha", 720},
        {"Alpha (HD)", "Alpha", 720},
        {"Alpha (hd)", "Alpha", 720},
        {"Alpha (FHD)", "Alpha", 1080},
        {"Alpha (Full HD)", "Alpha", 1080},
        {"Alpha (4K/UHD)", "Alpha", 2160},
        {"Alpha (SD)", "Alpha", 480},
        {"Alpha (HD 720p)", "Alpha", 720},
        {"Alpha [576 i]", "Alpha", 576},
        // Not a quality: part of the name, kept.
        {"Radio (FM)", "Radio (FM)", 0},
        {"Alpha (HDTV)", "Alpha (HDTV)", 0},
        {"Alpha (0p)", "Alpha (0p)", 0},
        {"Alpha (p)", "Alpha (p)", 0},
        {"Alpha ()", "Alpha ()", 0},
        {"Alpha (720)", "Alpha (720)", 0},
    };
    for (const QualityRow& row : rows) {
        CleanName clean = CleanDisplayName(row.raw);
        EXPECT_EQ(clean.name, row.name) << row.raw;
        EXPECT_EQ(clean.resolution, row.resolution) << row.raw;
    }
}

TEST(ProviderPlaylists, PlaylistBodiesAreToldFromOtherAnswers) {
    EXPECT_TRUE(LooksLikeM3u("#EXTM3U\n"));
    EXPECT_TRUE(LooksLikeM3u("\xEF\xBB\xBF\r\n  #extm3u url-tvg=\"x\"\n"));
    EXPECT_FALSE(LooksLikeM3u("<html>#EXTM3U</html>"));
    EXPECT_FALSE(LooksLikeM3u(""));
}

TEST(PlaylistGuides, ShiftHoursBecomeWholeMinutes) {
    const struct {
        const char* hours;
        std::optional<std::int32_t> minutes;
    } rows[] = {
        {"1", 60},     {"+2", 120},   {"-1.5", -90},     {"0,25", 15},      {" .5 ", 30},
        {"-0", 0},     {"0.0167", 1}, {"24", 24 * 60},   {"-24", -24 * 60}, {"24.01", {}},
        {"1000", {}},  {"", {}},      {"-", {}},         {".", {}},         {"1h", {}},
        {"1.2.3", {}}, {"inf", {}},   {"0.0000001", {}}, {"--1", {}},       {"1e2", {}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ParseTvgShiftMinutes(row.hours), row.minutes) << row.hours;
}

struct GuideRow {
    const char* what;
    std::string text;
    std::vector<std::string> guides;
    std::vector<std::pair<std::string, std::int32_t>> entries;  // tvg-name, shift
};

TEST(PlaylistGuides, HeaderGuidesAndEntryAttributesAreKept) {
    const std::string entry = "#EXTINF:-1,X\nhttp://p.example/x\n";
    const std::string longName(300, 'n');
    std::string manyGuides = "#EXTM3U url-tvg=\"";
    std::vector<std::string> firstSixteen;
    for (int i = 0; i < 20; ++i) {
        std::string address = "http://g.example/" + std::to_string(i) + ".xml";
        manyGuides += address + ",";
        if (i < 16)
            firstSixteen.push_back(address);
    }
    const GuideRow rows[] = {
        {"a list, trimmed, each address once",
         "#EXTM3U url-tvg=\"http://g.example/a.xml.gz, http://g.example/b.xml,"
         "http://g.example/a.xml.gz\"\n" +
             entry,
         {"http://g.example/a.xml.gz", "http://g.example/b.xml"},
         {{"", 0}}},
        {"x-tvg-url and several header lines merge",
         "#EXTM3U x-tvg-url=http://g.example/a.xml\n" + entry +
             "#extm3u url-tvg=http://g.example/c.xml X-TVG-URL=\"http://g.example/a.xml\"\n",
         {"http://g.example/a.xml", "http://g.example/c.xml"},
         {{"", 0}}},
        {"the line's shift plus the entry's, names as written",
         "#EXTM3U tvg-shift=2\n#EXTINF:-1 tvg-shift=\"-0.5\" tvg-name=\"Ch_One\",One\n"
         "http://p.example/1\n#EXTINF:-1 tvg-name=Two,Two\nhttp://p.example/2\n",
         {},
         {{"Ch_One", 90}, {"Two", 120}}},
        {"a later header starts again without the shift",
         "#EXTM3U tvg-shift=1\n" + entry + "#EXTM3U\n" + entry,
         {},
         {{"", 60}, {"", 0}}},
        {"unusable values are dropped, not cut",
         manyGuides + "\" tvg-shift=7days\n#EXTINF:-1 tvg-name=\"" + longName +
             "\" tvg-shift=99,X\nhttp://p.example/x\n#EXTM3U url-tvg=\"http://a b\"\n",
         firstSixteen,
         {{"", 0}}},
    };
    for (const GuideRow& row : rows) {
        M3uPlaylist playlist = ParseM3uText(row.text);
        EXPECT_EQ(playlist.guideAddresses, row.guides) << row.what;
        ASSERT_EQ(playlist.entries.size(), row.entries.size()) << row.what;
        for (std::size_t i = 0; i < row.entries.size(); ++i) {
            EXPECT_EQ(playlist.entries[i].tvgName, row.entries[i].first) << row.what;
            EXPECT_EQ(playlist.entries[i].tvgShiftMinutes, row.entries[i].second) << row.what;
        }
    }
}

CatchupAttributes Catchup(std::optional<CatchupStyle> style, std::string source = {},
                          std::optional<std::int32_t> days = {}, std::int32_t correction = 0) {
    return CatchupAttributes{style, std::move(source), days, correction};
}

TEST(PlaylistCatchup, EntriesTakeTheHeaderDefaultsAndOverrideThemFieldByField) {
    const std::string longSource = "http://p/" + std::string(3000, 's');
    const struct {
        const char* what;
        std::string text;
        std::vector<CatchupAttributes> entries;
    } rows[] = {
        {"header defaults, an entry's own days",
         "#EXTM3U catchup=\"append\" catchup-source=\"?utc={utc}\" catchup-days=\"3\"\n"
         "#EXTINF:-1,A\nhttp://p/a\n#EXTINF:-1 catchup-days=5,B\nhttp://p/b\n",
         {Catchup(CatchupStyle::Append, "?utc={utc}", 3),
          Catchup(CatchupStyle::Append, "?utc={utc}", 5)}},
        {"an entry's style, and one that turns catch-up off",
         "#EXTM3U catchup=shift catchup-correction=1\n#EXTINF:-1 catchup=\"flussonic\",A\n"
         "http://p/a\n#EXTINF:-1 catchup=\"none\",B\nhttp://p/b\n",
         {Catchup(CatchupStyle::Flussonic, "", {}, 60), Catchup({})}},
        {"catchup-type, any case, hours of correction",
         "#EXTM3U\n#EXTINF:-1 CATCHUP-TYPE=\"XC\" Catchup-Correction=\"-1,5\",A\nhttp://p/a\n",
         {Catchup(CatchupStyle::Xc, "", {}, -90)}},
        {"SIPTV days are the style shift",
         "#EXTM3U\n#EXTINF:-1 timeshift=\"3\",A\nhttp://p/a\n#EXTINF:-1 tvg-rec=7,B\nhttp://p/b\n"
         "#EXTINF:-1 timeshift=0,C\nhttp://p/c\n",
         {Catchup(CatchupStyle::Shift, "", 3), Catchup(CatchupStyle::Shift, "", 7), Catchup({})}},
        {"SIPTV days give way to the line's own style and days",
         "#EXTM3U tvg-rec=9\n#EXTINF:-1 catchup=default catchup-source=\"http://x/{utc}\" "
         "timeshift=2,A\nhttp://p/a\n#EXTINF:-1 catchup-days=4,B\nhttp://p/b\n",
         {Catchup(CatchupStyle::Default, "http://x/{utc}", 2),
          Catchup(CatchupStyle::Shift, "", 4)}},
        {"a source alone is the whole address",
         "#EXTM3U\n#EXTINF:-1 catchup-source=\"http://a/{utc}\",A\nhttp://p/a\n",
         {Catchup(CatchupStyle::Default, "http://a/{utc}")}},
        {"a later header starts again",
         "#EXTM3U catchup=shift\n#EXTINF:-1,A\nhttp://p/a\n#EXTM3U\n#EXTINF:-1,B\nhttp://p/b\n",
         {Catchup(CatchupStyle::Shift), Catchup({})}},
        {"unusable values are bounded or dropped",
         "#EXTM3U catchup-days=2 catchup-source=\"http://h/{utc}\"\n"
         "#EXTINF:-1 catchup=default catchup-source=\"" +
             longSource +
             "\" catchup-days=1000 catchup-correction=30,A\nhttp://p/a\n"
             "#EXTINF:-1 catchup-days=x,B\nhttp://p/b\n#EXTINF:-1 catchup=vod,C\nhttp://p/c\n",
         {Catchup(CatchupStyle::Default, "", 365),
          Catchup(CatchupStyle::Default, "http://h/{utc}", 2), Catchup({})}},
    };
    for (const auto& row : rows) {
        const M3uPlaylist playlist = ParseM3uText(row.text);
        ASSERT_EQ(playlist.entries.size(), row.entries.size()) << row.what;
        for (std::size_t i = 0; i < row.entries.size(); ++i)
            EXPECT_EQ(playlist.entries[i].catchup, row.entries[i]) << row.what << " #" << i;
    }
}

}  // namespace
}  // namespace lumora
