// Texts the shell shows besides the language pack's keys: Qt's own buttons
// and the catalogue's summary box, in the user's language.

#include <QAbstractButton>
#include <QMessageBox>

#include <gtest/gtest.h>

#include "catalogue/catalogue.h"
#include "catalogue/languages.h"
#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "process_state.h"
#include "shell/app/app_startup.h"
#include "shell/app/qt_translations.h"
#include "shell/app/shell_hooks.h"
#include "shell_test_support.h"

namespace lumora {
namespace {

QString CancelText() {
    QMessageBox box(QMessageBox::NoIcon, QString(), QString(),
                    QMessageBox::Ok | QMessageBox::Cancel);
    return box.button(QMessageBox::Cancel)->text();
}

TEST(QtTranslationsTest, MessageBoxButtonsFollowTheLanguage) {
    ASSERT_TRUE(InstallQtTranslations(u"de"));
    EXPECT_EQ(CancelText(), QStringLiteral("Abbrechen"));
    // Replaced, not stacked; "pt" finds Qt's Brazilian translation.
    ASSERT_TRUE(InstallQtTranslations(u"pt"));
    EXPECT_EQ(CancelText(), QStringLiteral("Cancelar"));
    InstallQtTranslations(u"en");
    EXPECT_EQ(CancelText(), QStringLiteral("Cancel"));
    EXPECT_FALSE(InstallQtTranslations(u""));
    EXPECT_EQ(CancelText(), QStringLiteral("Cancel"));
}

TEST(CatalogueSummaryTest, CountsTheWithheldEntriesInTheUsersLanguage) {
    test::IsolatedUserFolders folders;
    test::ResetProcessState();
    SetStringSetting(kLanguage, u"de");
    test::LoadShippedInterface(96);
    test::RecordedMessages messages;
    Application program;
    program.ShowCatalogueMessages();
    std::vector<test::TestChannel> broken;
    for (int i = 0; i < kMaxCatalogueMessageBoxes + 3; ++i)
        broken.push_back({"de", "c" + std::to_string(i), u"Kaputt", "n", {}});
    const QString path = folders.DataHome() + QStringLiteral("/Channels.lmch");
    ASSERT_TRUE(test::WriteCatalogue(path, "1.0", broken));
    program.LoadCatalogue(path.toStdU16String());
    ASSERT_EQ(messages.texts.size(), kMaxCatalogueMessageBoxes + 1);
    EXPECT_TRUE(messages.texts.back().startsWith(QStringLiteral("3 weitere")))
        << messages.texts.back().toStdString();

    program.ReleaseCatalogue();
    test::ResetProcessState();
    test::LoadShippedInterface(96);
}

}  // namespace
}  // namespace lumora
