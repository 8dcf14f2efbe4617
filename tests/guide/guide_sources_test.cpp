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

}  // namespace
}  // namespace lumora
