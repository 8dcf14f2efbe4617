// The player where libmpv is missing: the program still starts, and there
// is no player, only the reason why it cannot play.

#include <cstdio>
#include <cstdlib>

#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

#include "player/media_player_host.h"
#include "player/mpv_library.h"

namespace lumora::test {
namespace {

// In a process of its own: the library is opened once per process, and
// this one must never find it.
TEST(WithoutLibmpv, ThePlayerCannotStartAndSaysWhy) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            MpvLibrary::StartLoading("libmpv-that-is-not-there.so.2");
            QWidget parent;
            const MediaPlayerHost::Started started =
                MediaPlayerHost::Create(&parent, QRect(0, 0, 320, 240), PlayerOptions{"null"});
            std::fprintf(stderr, "available=%d host=%d start failure=%s\n",
                         int(MpvLibrary::Available()), int(started.host != nullptr),
                         qPrintable(QString::fromStdU16String(started.failure)));
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0),
        "available=0 host=0 start failure=The media player could not be started. Channels "
        "cannot be played.");
}

}  // namespace
}  // namespace lumora::test
