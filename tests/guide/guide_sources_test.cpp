// Guide addresses: what a playlist may name and what the user may.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "guide/guide_sources.h"

namespace lumora {
namespace {

struct SourceRow {
    const char* what;
    const char* list;
    SourceOrigin origin;
    std::vector<std::string> addresses;  // "file:" before a local path
    std::size_t refused;
};

TEST(GuideSources, APlaylistMayNameOnlyHttpWhileTheUserMayNameFiles) {
    const SourceRow rows[] = {
        {"a list, blanks and empty items",
         " http://a.example/g.xml.gz ,,https://b.example/x.xml,http://a.example/g.xml.gz ",
         SourceOrigin::Playlist,
         {"http://a.example/g.xml.gz", "https://b.example/x.xml"},
         0},
        {"files and other schemes from a playlist",
         "file:///etc/passwd,/dev/zero,/tmp/fifo,ftp://x.example/g,guide.xml,HTTP://C.example/g",
         SourceOrigin::Playlist,
         {"HTTP://C.example/g"},
         5},
        {"no host, blanks inside",
         "http://,http:///etc/passwd,http://a b/",
         SourceOrigin::Playlist,
         {},
         3},
        {"the user's local files",
         "file:///home/u/guide.xml, /srv/epg.xml.xz,relative.xml",
         SourceOrigin::User,
         {"file:/home/u/guide.xml", "file:/srv/epg.xml.xz"},
         1},
        {"nothing", "", SourceOrigin::User, {}, 0},
    };
    for (const SourceRow& row : rows) {
        const GuideSourceList list = ParseGuideSources(row.list, row.origin);
        std::vector<std::string> addresses;
        for (const GuideSource& source : list.sources)
            addresses.push_back((source.kind == GuideSource::Kind::LocalFile ? "file:" : "") +
                                source.address);
        EXPECT_EQ(addresses, row.addresses) << row.what;
        EXPECT_EQ(list.refused, row.refused) << row.what;
    }
}

TEST(GuideSources, AnAddressTheUserTypedMayCarryASignedOffsetInHours) {
    const struct {
        const char* item;
        SourceOrigin origin;
        const char* address;  // empty: refused
        std::int64_t offsetSeconds;
    } rows[] = {
        {"http://a.example/g.xml +1", SourceOrigin::User, "http://a.example/g.xml", 3600},
        {"http://a.example/g.xml  -0.5", SourceOrigin::User, "http://a.example/g.xml", -1800},
        {"/srv/epg.xml +5.75", SourceOrigin::User, "/srv/epg.xml", 20700},
        {"/home/u/My guide 2", SourceOrigin::User, "/home/u/My guide 2", 0},  // no sign: a path
        {"http://a.example/g.xml +49", SourceOrigin::User, "", 0},
        {"http://a.example/g.xml +1x", SourceOrigin::User, "", 0},
        {"http://a.example/g.xml +1", SourceOrigin::Playlist, "", 0},
    };
    for (const auto& row : rows) {
        const GuideSourceList list = ParseGuideSources(row.item, row.origin);
        if (*row.address == '\0') {
            EXPECT_TRUE(list.sources.empty()) << row.item;
            continue;
        }
        ASSERT_EQ(list.sources.size(), 1u) << row.item;
        EXPECT_EQ(list.sources[0].address, row.address) << row.item;
        EXPECT_EQ(list.sources[0].offsetSeconds, row.offsetSeconds) << row.item;
    }
}

}  // namespace
}  // namespace lumora
