// The player where libmpv is missing: the program still starts, and the
// player says that it cannot play.

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
TEST(WithoutLibmpv, ThePlayerCannotStartAndAPlayRequestFailsVisibly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            MpvLibrary::StartLoading("libmpv-that-is-not-there.so.2");
            QWidget parent;
            MediaPlayerHost host(&parent, QRect(0, 0, 320, 240), PlayerOptions{"null"});
            host.Play(u"http://127.0.0.1:9/live.ts");
            host.Stop();
            std::fprintf(stderr, "available=%d ready=%d status=%s start failure=%s\n",
                         int(MpvLibrary::Available()), int(host.Ready()),
                         qPrintable(QString::fromStdU16String(host.StatusText())),
                         qPrintable(QString::fromStdU16String(host.StartFailure())));
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0),
        "available=0 ready=0 status=Cannot play stream start failure=The media player could not be "
        "started. Channels cannot be played.");
}

}  // namespace
}  // namespace lumora::test
