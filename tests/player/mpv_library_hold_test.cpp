// libmpv's loader waits while start-up holds it (the catalogue loads), and
// anything that needs the library ends the wait.

#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>

#include "player/mpv_library.h"

namespace lumora::test {
namespace {

bool LibmpvIsOpen() {
    void* handle = dlopen(MpvLibrary::kFileName, RTLD_NOW | RTLD_NOLOAD);
    if (handle != nullptr)
        dlclose(handle);
    return handle != nullptr;
}

// Each in a process of its own: the library is opened once per process.
TEST(MpvLibraryHold, TheLoaderWaitsWhileHeldAndGoesOnWhenReleased) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            MpvLibrary::HoldLoading();
            MpvLibrary::StartLoading();
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            const bool openWhileHeld = LibmpvIsOpen();
            MpvLibrary::ReleaseLoading();
            const bool available = MpvLibrary::Available();
            std::fprintf(stderr, "held=%d released=%d\n", int(openWhileHeld),
                         int(available && LibmpvIsOpen()));
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "held=0 released=1");
}

TEST(MpvLibraryHold, NeedingTheLibraryEndsTheWait) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            MpvLibrary::HoldLoading();
            MpvLibrary::StartLoading();
            // Never released: the first mpv function asked for still gets it.
            std::fprintf(stderr, "symbol=%d\n", int(MpvLibrary::Symbol("mpv_create") != nullptr));
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "symbol=1");
}

}  // namespace
}  // namespace lumora::test
