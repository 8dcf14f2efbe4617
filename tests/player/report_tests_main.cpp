#include <QCoreApplication>

#include <gtest/gtest.h>

// The reporting rules need an event loop and nothing else: no widgets, no
// libmpv.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
