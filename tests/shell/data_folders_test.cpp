// Where the program finds its files: the shipped ones next to the program
// first, the user's in the XDG data folder, and the user's own catalogue
// made from the shipped default without ever replacing one the user has.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include "scratch_folder_qt.h"
#include "shell/app/data_folders.h"
#include "shell_test_support.h"

namespace lumora {
namespace {

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class DataFoldersTest : public ::testing::Test {
protected:
    void SetUp() override { OverrideShippedDataFolder(test::QtPath(shipped_)); }
    void TearDown() override { OverrideShippedDataFolder({}); }

    test::IsolatedUserFolders folders_;
    test::ScratchFolder shipped_;
};

TEST_F(DataFoldersTest, UserFilesLiveInTheXdgDataFolder) {
    const QString folder = UserDataFolder();
    EXPECT_EQ(folder, folders_.UserFolder());
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(UserDataPath(QStringLiteral("Settings.cfg")),
              folder + QStringLiteral("/Settings.cfg"));
}

TEST_F(DataFoldersTest, ShippedFilesNextToTheProgramComeFirst) {
    OverrideShippedDataFolder({});
    // The test program has no data files beside it: the path still points
    // there, so the loaders fall back to their defaults quietly.
    const QString path = ShippedDataPath(QStringLiteral("no-such-file.velt"));
    EXPECT_EQ(QFileInfo(path).absolutePath(), QCoreApplication::applicationDirPath());
}

TEST_F(DataFoldersTest, FirstStartCopiesTheShippedCatalogue) {
    ASSERT_TRUE(WriteFile(test::QtPath(shipped_, "Channels.lmch"), "shipped"));
    QFile::setPermissions(test::QtPath(shipped_, "Channels.lmch"), QFile::ReadOwner);
    const QString path = PrepareUserCatalogue();
    EXPECT_EQ(path, folders_.UserFolder() + QStringLiteral("/Channels.lmch"));
    EXPECT_EQ(ReadFile(path), QByteArray("shipped"));
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".tmp")));
    // The user's copy can be replaced by an update even when the shipped
    // file is read-only.
    EXPECT_TRUE(QFileInfo(path).isWritable());
}

TEST_F(DataFoldersTest, TheUsersCatalogueIsNeverReplaced) {
    ASSERT_TRUE(WriteFile(test::QtPath(shipped_, "Channels.lmch"), "shipped"));
    QDir().mkpath(folders_.UserFolder());
    const QString mine = folders_.UserFolder() + QStringLiteral("/Channels.lmch");
    ASSERT_TRUE(WriteFile(mine, "updated"));
    EXPECT_EQ(PrepareUserCatalogue(), mine);
    EXPECT_EQ(ReadFile(mine), QByteArray("updated"));
}

TEST_F(DataFoldersTest, NoShippedCatalogueLeavesNoFile) {
    const QString path = PrepareUserCatalogue();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".tmp")));
}

TEST_F(DataFoldersTest, OnlyTheProgramsOwnStraySavesAreRemoved) {
    QDir().mkpath(folders_.UserFolder());
    const QString user = folders_.UserFolder() + QLatin1Char('/');
    for (const char* name : {"Settings.cfg.tmp", "Channels.lmch.tmp", "notes.tmp", "Settings.cfg"})
        ASSERT_TRUE(WriteFile(user + QLatin1String(name), "x"));
    RemoveStraySaveFiles();
    EXPECT_FALSE(QFile::exists(user + QStringLiteral("Settings.cfg.tmp")));
    EXPECT_FALSE(QFile::exists(user + QStringLiteral("Channels.lmch.tmp")));
    EXPECT_TRUE(QFile::exists(user + QStringLiteral("notes.tmp")));
    EXPECT_TRUE(QFile::exists(user + QStringLiteral("Settings.cfg")));
}

TEST_F(DataFoldersTest, LeftoverTemporaryCopyIsReplaced) {
    ASSERT_TRUE(WriteFile(test::QtPath(shipped_, "Channels.lmch"), "shipped"));
    QDir().mkpath(folders_.UserFolder());
    const QString target = folders_.UserFolder() + QStringLiteral("/Channels.lmch");
    ASSERT_TRUE(WriteFile(target + QStringLiteral(".tmp"), "torn"));
    EXPECT_EQ(ReadFile(PrepareUserCatalogue()), QByteArray("shipped"));
}

}  // namespace
}  // namespace lumora
