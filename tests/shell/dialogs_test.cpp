// The dialogs: the channel list (opening state, filters, captions,
// favourites, tap-and-hold menus, keyboard, playing through the main
// window, what is remembered), the settings and first-run dialogs, the
// splash and the About dialog, with pictures of each at two resolutions.

#include <sys/stat.h>
#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include "catalogue/catalogue.h"
#include "catalogue/channel_views.h"
#include "catalogue/languages.h"
#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "document/text_encoding.h"
#include "net/account_secret.h"
#include "net/account_source.h"
#include "net/catalogue_update.h"
#include "net/update_logic.h"
#include "process_state.h"
#include "resources/resources.h"
#include "server_process.h"
#include "shell/app/app_startup.h"
#include "shell/app/commands.h"
#include "shell/app/data_folders.h"
#include "shell/app/localise.h"
#include "shell/app/shell_hooks.h"
#include "shell/dialogs/about_dialog.h"
#include "shell/dialogs/channel_list_dialog.h"
#include "shell/dialogs/channel_list_model.h"
#include "shell/dialogs/channel_list_view.h"
#include "shell/dialogs/channel_row_delegate.h"
#include "shell/dialogs/first_run_dialog.h"
#include "shell/dialogs/loading_dialog.h"
#include "shell/dialogs/settings_dialog.h"
#include "shell/dialogs/update_dialog.h"
#include "shell/main_window/channel_title_bar.h"
#include "shell/main_window/main_frame.h"
#include "shell/main_window/menu_pop_sound.h"
#include "shell/widgets/soft_key_bar.h"
#include "shell_test_support.h"

namespace lumora {
namespace {

using test::FakeOutput;
using test::TestChannel;
using test::WhenModal;

// Shows a dialog as the program does and lets it lay itself out.
void Show(QWidget& dialog) {
    dialog.show();
    QApplication::processEvents();
}

class DialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ResetProcessState();
        // No background check against a server unless a test asks for it.
        SetBoolSetting(kAutoCU, false);
        test::LoadShippedInterface(96);
        cataloguePath_ = folders_.DataHome() + QStringLiteral("/Channels.lmch");
    }

    void TearDown() override {
        frame_.reset();
        app_.ReleaseCatalogue();
        test::ResetProcessState();
    }

    // A small catalogue: two German channels, one French, the test card.
    std::vector<TestChannel> Channels() {
        return {{"de", "one", u"Eins", "n", {u"http://127.0.0.1:9/eins.ts"}},
                {"de", "two", u"Zwei", "sp", {u"http://127.0.0.1:9/zwei.ts"}},
                {"fr", "three", u"Trois", "n", {u"http://127.0.0.1:9/trois.ts"}},
                {"int",
                 "TestCard",
                 u"Lumora Test Card",
                 "e",
                 {u"av://lavfi:testsrc2=size=640x360:rate=25"}}};
    }

    void LoadCatalogue() {
        ASSERT_TRUE(test::WriteCatalogue(cataloguePath_, "1.0", Channels()));
        app_.LoadCatalogue(cataloguePath_.toStdU16String());
        ASSERT_NE(TheCatalogue(), nullptr);
        ASSERT_EQ(AllChannels().size(), 4u);
    }

    MainFrame& MakeFrame() {
        EXPECT_TRUE(test::WriteCatalogue(cataloguePath_, "1.0", Channels()));
        frame_ =
            std::make_unique<MainFrame>(app_, test::FakePlayerOptions(cataloguePath_, player_));
        frame_->resize(360, 640);
        return *frame_;
    }

    static Channel* Find(std::string_view id) { return TheCatalogue()->FindChannel(id); }

    static QStringList Names(const ChannelListView& list) {
        QStringList names;
        for (int row = 0; row < list.RowCount(); ++row)
            names << list.model()->index(row, 0).data().toString();
        return names;
    }

    static int EntryOf(const QComboBox& chooser, const QString& text) {
        return chooser.findText(text);
    }

    test::IsolatedUserFolders folders_;
    QString cataloguePath_;
    // Where the channel list is left, as the main window would keep it.
    ZapOrder zapOrder_;
    // The program's state, which outlives the window.
    Application app_;
    std::unique_ptr<MainFrame> frame_;
    FakeOutput* player_ = nullptr;
};

// ---------------------------------------------------------------- channel list

TEST_F(DialogsTest, FirstOpeningShowsEveryChannelTheStoredTabAndFirstRows) {
    LoadCatalogue();
    AddFavourite(*Find("fr_three"));
    SetIntSetting(kSelTab, 1);
    ChannelListDialog dialog(nullptr, zapOrder_);
    Show(dialog);

    EXPECT_EQ(dialog.CurrentTab(), ChannelTab::Favourites);
    EXPECT_TRUE(dialog.FavouritesList()->isVisible());
    EXPECT_FALSE(dialog.ChannelList()->isVisible());
    EXPECT_FALSE(dialog.CountryChooser()->isVisible());

    // Both choosers at their entries for all, the others sorted by name.
    QComboBox& countries = *dialog.CountryChooser();
    EXPECT_EQ(countries.currentIndex(), 0);
    EXPECT_EQ(countries.itemText(0), Text("str_all_countries"));
    EXPECT_EQ(countries.count(), 4);
    EXPECT_EQ(countries.itemText(1), Text("c_fr"));   // France
    EXPECT_EQ(countries.itemText(2), Text("c_de"));   // Germany
    EXPECT_EQ(countries.itemText(3), Text("c_int"));  // International
    EXPECT_EQ(dialog.CategoryChooser()->currentIndex(), 0);
    EXPECT_EQ(dialog.CategoryChooser()->itemText(0), Text("str_all_channels"));
    EXPECT_EQ(dialog.CategoryChooser()->count(), 10);  // all + the nine categories

    // Every channel, ordered by country name and channel name; first rows selected.
    EXPECT_EQ(Names(*dialog.ChannelList()),
              QStringList({"Trois", "Eins", "Zwei", "Lumora Test Card"}));
    EXPECT_EQ(dialog.ChannelList()->SelectedRow(), 0);
    EXPECT_EQ(dialog.FavouritesList()->SelectedRow(), 0);
    EXPECT_EQ(dialog.TabCaption(ChannelTab::Channels), Text("tab_channels") + " (4)");
    EXPECT_EQ(dialog.TabCaption(ChannelTab::Favourites), Text("tab_favorites") + " (1)");

    // The soft keys play and close.
    EXPECT_EQ(dialog.SoftKeys()->KeyText(SoftKey::Left), Text("menu_play"));
    EXPECT_EQ(dialog.SoftKeys()->KeyCommand(SoftKey::Left), ID_CHANNELS);
    EXPECT_EQ(dialog.SoftKeys()->KeyText(SoftKey::Right), Text("menu_close"));
    EXPECT_EQ(dialog.SoftKeys()->KeyCommand(SoftKey::Right), ChannelListDialog::kCloseCommand);
}

TEST_F(DialogsTest, FiltersNarrowTheListAndTheCaptionCounts) {
    LoadCatalogue();
    ChannelListDialog dialog(nullptr, zapOrder_);
    Show(dialog);
    QComboBox& countries = *dialog.CountryChooser();
    QComboBox& categories = *dialog.CategoryChooser();

    countries.setCurrentIndex(EntryOf(countries, Text("c_de")));
    EXPECT_EQ(Names(*dialog.ChannelList()), QStringList({"Eins", "Zwei"}));
    EXPECT_EQ(dialog.TabCaption(ChannelTab::Channels), Text("tab_channels") + " (2)");
    // A refilled list has no selected row: play does nothing, the dialog stays.
    EXPECT_EQ(dialog.ChannelList()->SelectedRow(), -1);
    dialog.DispatchCommand(ID_CHANNELS);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.PlayRequested());
    // And a tap and hold without a selected row has no menu.
    EXPECT_EQ(dialog.ChannelList()->MenuForSelection(), nullptr);

    categories.setCurrentIndex(EntryOf(categories, Text("cat_n")));
    EXPECT_EQ(Names(*dialog.ChannelList()), QStringList({"Eins"}));

    categories.setCurrentIndex(EntryOf(categories, Text("cat_mu")));
    EXPECT_EQ(dialog.ChannelList()->RowCount(), 0);
    EXPECT_EQ(dialog.TabCaption(ChannelTab::Channels), Text("tab_channels") + " (0)");

    // Back to all countries: the category filter alone.
    countries.setCurrentIndex(0);
    categories.setCurrentIndex(EntryOf(categories, Text("cat_n")));
    EXPECT_EQ(Names(*dialog.ChannelList()), QStringList({"Trois", "Eins"}));
}

TEST_F(DialogsTest, FavouritesAreAddedAndRemovedWithTheCountsAtOnce) {
    LoadCatalogue();
    ChannelListDialog dialog(nullptr, zapOrder_);
    Show(dialog);
    ChannelListView& channels = *dialog.ChannelList();
    ChannelListView& favourites = *dialog.FavouritesList();
    EXPECT_EQ(dialog.TabCaption(ChannelTab::Favourites), Text("tab_favorites") + " (0)");

    // "Eins" through its tap-and-hold menu: play, a separator, add.
    channels.SelectRow(1);
    QMenu* menu = channels.MenuForSelection();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 5);
    EXPECT_EQ(menu->actions()[0]->text(), Text("menu_play"));
    EXPECT_TRUE(menu->actions()[1]->isSeparator());
    EXPECT_EQ(menu->actions()[2]->text(), Text("menu_add_favorites"));
    EXPECT_TRUE(menu->actions()[3]->isSeparator());
    EXPECT_EQ(menu->actions()[4]->text(), Text("menu_guide"));
    menu->actions()[2]->trigger();
    EXPECT_TRUE(Find("de_one")->favourite);
    EXPECT_EQ(dialog.TabCaption(ChannelTab::Favourites), Text("tab_favorites") + " (1)");
    EXPECT_EQ(Names(favourites), QStringList({"Eins"}));

    channels.SelectRow(3);
    dialog.DispatchCommand(ChannelListView::kMenuAddFavourite);
    EXPECT_EQ(Names(favourites), QStringList({"Eins", "Lumora Test Card"}));
    EXPECT_EQ(dialog.TabCaption(ChannelTab::Favourites), Text("tab_favorites") + " (2)");

    // A favourite offers removal on the channel tab too.
    channels.SelectRow(1);
    menu = channels.MenuForSelection();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->actions()[2]->text(), Text("menu_remove_favorites"));

    // Removing from the favourites list's own menu takes that list's row.
    dialog.ShowTab(ChannelTab::Favourites);
    favourites.SelectRow(1);
    menu = favourites.MenuForSelection();
    ASSERT_NE(menu, nullptr);
    menu->actions()[2]->trigger();
    EXPECT_FALSE(Find("int_TestCard")->favourite);
    EXPECT_TRUE(Find("de_one")->favourite);
    EXPECT_EQ(Names(favourites), QStringList({"Eins"}));
    EXPECT_EQ(dialog.TabCaption(ChannelTab::Favourites), Text("tab_favorites") + " (1)");
    EXPECT_EQ(dialog.TabCaption(ChannelTab::Channels), Text("tab_channels") + " (4)");
}

TEST_F(DialogsTest, RightClickAndTapAndHoldOpenTheRowMenu) {
    LoadCatalogue();
    ChannelListDialog dialog(nullptr, zapOrder_);
    Show(dialog);
    ChannelListView& list = *dialog.ChannelList();
    QWidget* viewport = list.viewport();

    // A right click selects the row under it and opens its menu.
    const QPoint third = list.visualRect(list.model()->index(2, 0)).center();
    QTest::mouseClick(viewport, Qt::RightButton, {}, third);
    QContextMenuEvent context(QContextMenuEvent::Mouse, third, viewport->mapToGlobal(third));
    QApplication::sendEvent(viewport, &context);
    EXPECT_EQ(list.SelectedRow(), 2);
    QMenu* menu = list.MenuForSelection();
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }));
    // Bottom-aligned to the tap point.
    EXPECT_LE(menu->geometry().bottom(), viewport->mapToGlobal(third).y());
    menu->hide();

    // A long press that does not move does the same.
    const QPoint first = list.visualRect(list.model()->index(0, 0)).center();
    QTest::mousePress(viewport, Qt::LeftButton, {}, first);
    EXPECT_EQ(list.SelectedRow(), 0);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return menu->isVisible(); }, ChannelListView::kTapAndHoldMs * 4));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, first);
    menu->hide();

    // A short tap opens nothing.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, third);
    QTest::qWait(ChannelListView::kTapAndHoldMs + 200);
    EXPECT_FALSE(menu->isVisible());
}

TEST_F(DialogsTest, TabStripSwitchesByTapAndByKeysWithASoundOnlyOnAChange) {
    LoadCatalogue();
    ChannelListDialog dialog(nullptr, zapOrder_);
    Show(dialog);
    QWidget* strip = dialog.TabStrip();
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->height(), BarHeight());
    const int sounds = MenuPopSoundRequests();

    // A tap on the active tab changes nothing and is silent.
    QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(strip->width() / 4, BarHeight() / 2));
    EXPECT_EQ(dialog.CurrentTab(), ChannelTab::Channels);
    EXPECT_EQ(MenuPopSoundRequests(), sounds);

    QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(strip->width() * 3 / 4, BarHeight() / 2));
    EXPECT_EQ(dialog.CurrentTab(), ChannelTab::Favourites);
    EXPECT_EQ(MenuPopSoundRequests(), sounds + 1);
    EXPECT_TRUE(dialog.FavouritesList()->isVisible());
    EXPECT_FALSE(dialog.CategoryChooser()->isVisible());

    // With the focus on the strip, Left and Right switch the tabs.
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    strip->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(strip->hasFocus());
    QTest::keyClick(strip, Qt::Key_Left);
    EXPECT_EQ(dialog.CurrentTab(), ChannelTab::Channels);
    EXPECT_EQ(MenuPopSoundRequests(), sounds + 2);
    QTest::keyClick(strip, Qt::Key_Left);
    EXPECT_EQ(MenuPopSoundRequests(), sounds + 2);
    EXPECT_TRUE(strip->hasFocus());

    // Tab goes from the strip through both choosers to the list and round;
    // the search field joins the round while a search is shown.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), dialog.CountryChooser());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), dialog.CategoryChooser());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), dialog.ChannelList());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), dialog.CategoryChooser());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), dialog.SearchField());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), dialog.ChannelList());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), dialog.SearchField());
}

TEST_F(DialogsTest, KeyboardMovesTheSelectionAndEnterPlays) {
    LoadCatalogue();
    ChannelListDialog dialog(nullptr, zapOrder_);
    WhenModal<ChannelListDialog>([](ChannelListDialog& d) {
        ChannelListView* list = d.ChannelList();
        EXPECT_TRUE(list->hasFocus());
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Down);
        EXPECT_EQ(list->SelectedRow(), 2);
        QTest::keyClick(list, Qt::Key_Up);
        EXPECT_EQ(list->SelectedRow(), 1);
        QTest::keyClick(list, Qt::Key_Return);
    });
    EXPECT_EQ(dialog.exec(), kDialogResultOk);
    EXPECT_TRUE(dialog.PlayRequested());
    EXPECT_EQ(dialog.ChosenChannel(), Find("de_one"));
}

TEST_F(DialogsTest, PlayFromTheListReachesThePlayerAndTheTitleBar) {
    MainFrame& frame = MakeFrame();
    frame.show();
    // F1 in the dialog is its left soft key, play; the test card is found by
    // typing the start of its name.
    WhenModal<ChannelListDialog>([](ChannelListDialog& d) {
        QTest::keyClicks(d.ChannelList(), QStringLiteral("Lumora"));
        EXPECT_EQ(d.ChannelList()->SelectedChannel(), Find("int_TestCard"));
        QTest::keyClick(&d, Qt::Key_F1);
    });
    frame.OnCommand(ID_CHANNELS);
    ASSERT_EQ(player_->played.size(), 1u);
    EXPECT_EQ(player_->played.back(), u"av://lavfi:testsrc2=size=640x360:rate=25");
    EXPECT_EQ(TheCatalogue()->CurrentChannel(), Find("int_TestCard"));
    EXPECT_EQ(GetStringSetting(kCurChannel, u""), u"int_TestCard");
    EXPECT_EQ(frame.View().TitleBar()->channelName(), QStringLiteral("Lumora Test Card"));
    EXPECT_TRUE(frame.View().Playing());

    // A double click on a row plays too.
    WhenModal<ChannelListDialog>([](ChannelListDialog& d) {
        ChannelListView* list = d.ChannelList();
        const QPoint row = list->visualRect(list->model()->index(0, 0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row);
    });
    frame.OnCommand(ID_CHANNELS);
    ASSERT_EQ(player_->played.size(), 2u);
    EXPECT_EQ(frame.View().TitleBar()->channelName(), QStringLiteral("Trois"));

    // Closed by the right soft key, nothing more is played.
    WhenModal<ChannelListDialog>([](ChannelListDialog& d) { QTest::keyClick(&d, Qt::Key_F2); });
    frame.OnCommand(ID_CHANNELS);
    EXPECT_EQ(player_->played.size(), 2u);
}

TEST_F(DialogsTest, RowsChoosersAndTabAreRememberedAcrossOpenings) {
    LoadCatalogue();
    {
        ChannelListDialog dialog(nullptr, zapOrder_);
        WhenModal<ChannelListDialog>([](ChannelListDialog& d) {
            QComboBox* countries = d.CountryChooser();
            countries->setCurrentIndex(EntryOf(*countries, Text("c_de")));
            d.ChannelList()->SelectRow(1);
            d.DispatchCommand(ChannelListDialog::kCloseCommand);
        });
        EXPECT_EQ(dialog.exec(), kDialogResultCancel);
        EXPECT_FALSE(dialog.PlayRequested());
    }
    {
        ChannelListDialog dialog(nullptr, zapOrder_);
        Show(dialog);
        EXPECT_EQ(dialog.CountryChooser()->currentText(), Text("c_de"));
        EXPECT_EQ(Names(*dialog.ChannelList()), QStringList({"Eins", "Zwei"}));
        EXPECT_EQ(dialog.ChannelList()->SelectedRow(), 1);
        // A list without a selected row is remembered as -1: nothing selected.
        dialog.ChannelList()->SelectRow(-1);
        dialog.ShowTab(ChannelTab::Favourites);
        // Esc closes as the right soft key does.
        QTest::keyClick(&dialog, Qt::Key_Escape);
        EXPECT_FALSE(dialog.isVisible());
    }
    EXPECT_EQ(GetIntSetting(kSelTab, -1), 1);
    {
        ChannelListDialog dialog(nullptr, zapOrder_);
        Show(dialog);
        EXPECT_EQ(dialog.CurrentTab(), ChannelTab::Favourites);
        EXPECT_EQ(dialog.ChannelList()->SelectedRow(), -1);
        dialog.ShowTab(ChannelTab::Channels);
        // The window's own close request is not a way out.
        dialog.close();
        EXPECT_TRUE(dialog.isVisible());
        dialog.DispatchCommand(ChannelListDialog::kCloseCommand);
    }
    EXPECT_EQ(GetIntSetting(kSelTab, -1), 0);
}

TEST_F(DialogsTest, TabAndFavouritesSurviveARestartButRowsDoNot) {
    const QString settingsPath = folders_.DataHome() + QStringLiteral("/Settings.cfg");
    LoadSettings(settingsPath.toStdU16String());
    SetBoolSetting(kAutoCU, false);
    LoadCatalogue();
    {
        ChannelListDialog dialog(nullptr, zapOrder_);
        Show(dialog);
        dialog.ChannelList()->SelectRow(2);
        dialog.DispatchCommand(ChannelListView::kMenuAddFavourite);
        dialog.SwitchTab(ChannelTab::Favourites);
        dialog.DispatchCommand(ChannelListDialog::kCloseCommand);
    }
    ASSERT_TRUE(SaveSettings());
    app_.ReleaseCatalogue();

    // The next run.
    ResetSettings();
    zapOrder_ = {};
    LoadSettings(settingsPath.toStdU16String());
    EXPECT_EQ(GetIntSetting(kSelTab, -1), 1);
    app_.LoadCatalogue(cataloguePath_.toStdU16String());
    ChannelListDialog dialog(nullptr, zapOrder_);
    Show(dialog);
    EXPECT_EQ(dialog.CurrentTab(), ChannelTab::Favourites);
    EXPECT_EQ(Names(*dialog.FavouritesList()), QStringList({"Zwei"}));
    EXPECT_EQ(dialog.TabCaption(ChannelTab::Favourites), Text("tab_favorites") + " (1)");
    EXPECT_EQ(dialog.ChannelList()->SelectedRow(), 0);
    EXPECT_EQ(dialog.FavouritesList()->SelectedRow(), 0);
}

TEST_F(DialogsTest, ChooserEntryGoneAfterACatalogueChangeFallsBackToAll) {
    LoadCatalogue();
    {
        ChannelListDialog dialog(nullptr, zapOrder_);
        Show(dialog);
        dialog.CountryChooser()->setCurrentIndex(3);
        dialog.DispatchCommand(ChannelListDialog::kCloseCommand);
    }
    // A catalogue with a single country.
    ASSERT_TRUE(
        test::WriteCatalogue(cataloguePath_, "2.0", {{"de", "one", u"Eins", "n", {u"http://a"}}}));
    app_.LoadCatalogue(cataloguePath_.toStdU16String());
    ChannelListDialog dialog(nullptr, zapOrder_);
    Show(dialog);
    EXPECT_EQ(dialog.CountryChooser()->currentIndex(), 0);
    EXPECT_EQ(Names(*dialog.ChannelList()), QStringList({"Eins"}));
}

TEST_F(DialogsTest, RowsAreDrawnWithBoxFlagNameAndSubtitle) {
    LoadCatalogue();
    ChannelListDialog dialog(nullptr, zapOrder_);
    Show(dialog);
    ChannelListView& list = *dialog.ChannelList();
    const int rowHeight = 3 * BarHeight() / 2;
    EXPECT_EQ(list.visualRect(list.model()->index(1, 0)).height(), rowHeight);
    EXPECT_EQ(list.visualRect(list.model()->index(1, 0)).top(), rowHeight);
    EXPECT_EQ(ChannelRowDelegate::RowHeight(), rowHeight);

    const QImage shot = list.viewport()->grab().toImage();
    // Row 0 is selected: light grey; row 1 white; black lines between rows.
    EXPECT_EQ(QColor(shot.pixel(list.viewport()->width() - 3, rowHeight / 2)),
              QColor(192, 192, 192));
    EXPECT_EQ(QColor(shot.pixel(list.viewport()->width() - 3, rowHeight + rowHeight / 2)),
              QColor(Qt::white));
    EXPECT_EQ(QColor(shot.pixel(list.viewport()->width() / 2, rowHeight - 1)), QColor(Qt::black));
    // Row 1 ("Eins", Germany) shows the German flag at (2s, T).
    const ResourceImage* flag = FindResourceImage("f_de");
    ASSERT_NE(flag, nullptr);
    const int top = rowHeight + (rowHeight - 11) / 2;
    EXPECT_EQ(QColor(shot.pixel(2 + 8, top + 1)), QColor(flag->image.pixel(8, 1)));
    EXPECT_EQ(QColor(shot.pixel(2 + 8, top + 9)), QColor(flag->image.pixel(8, 9)));
    // Text in the row: some dark pixels right of the flag in both halves.
    auto darkIn = [&](int y0, int y1) {
        int dark = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = 24; x < 150; ++x)
                dark += qGray(shot.pixel(x, y)) < 100 ? 1 : 0;
        return dark;
    };
    EXPECT_GT(darkIn(rowHeight + 1, rowHeight + rowHeight / 2), 10);
    EXPECT_GT(darkIn(rowHeight + rowHeight / 2, 2 * rowHeight - 2), 10);
    // Frames in the frame pen's colour around the list.
    const QImage whole = dialog.grab().toImage();
    EXPECT_EQ(QColor(whole.pixel(list.geometry().topLeft() - QPoint(1, 1))), FramePen().color());
    EXPECT_EQ(QColor(whole.pixel(dialog.CountryChooser()->geometry().bottomRight() + QPoint(1, 1))),
              FramePen().color());
}

TEST_F(DialogsTest, WithoutAnyCatalogueTheListIsEmptyAndNothingPlays) {
    ASSERT_EQ(TheCatalogue(), nullptr);
    ChannelListDialog dialog(nullptr, zapOrder_);
    Show(dialog);
    EXPECT_EQ(dialog.CountryChooser()->count(), 1);
    EXPECT_EQ(dialog.ChannelList()->RowCount(), 0);
    EXPECT_EQ(dialog.TabCaption(ChannelTab::Channels), Text("tab_channels") + " (0)");
    EXPECT_EQ(dialog.TabCaption(ChannelTab::Favourites), Text("tab_favorites") + " (0)");
    dialog.DispatchCommand(ID_CHANNELS);
    dialog.DispatchCommand(ChannelListView::kMenuAddFavourite);
    dialog.DispatchCommand(ChannelListView::kMenuRemoveFavourite);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.PlayRequested());
    QTest::keyClick(dialog.ChannelList(), Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
}

// Dark pixels between the name's first line and the subtitle of row 0.
int DarkPixelsBelowFirstNameLine(ChannelListDialog& dialog) {
    const QImage shot = dialog.ChannelList()->viewport()->grab().toImage();
    const int rowHeight = ChannelRowDelegate::RowHeight();
    const int s = std::max(1, rowHeight / 32);
    const int nameBottom = QFontMetrics(*BoldFont()).height();
    const int subtitleTop = rowHeight - 4 * s - QFontMetrics(*SmallFont()).height();
    int dark = 0;
    for (int y = nameBottom; y < subtitleTop; ++y)
        for (int x = 24 * s; x < shot.width() - 2; ++x)
            dark += qGray(shot.pixel(x, y)) < 100 ? 1 : 0;
    return dark;
}

TEST_F(DialogsTest, LongNamesNeverRunIntoTheSubtitle) {
    for (int dpi : {96, 192}) {
        SCOPED_TRACE(dpi);
        test::LoadShippedInterface(dpi);
        const std::u16string longName =
            u"A channel with a very long name that cannot fit on one line of the list, not even at "
            u"all";
        ASSERT_TRUE(test::WriteCatalogue(cataloguePath_, "1.0",
                                         {{"de", "long", longName, "n", {u"http://a"}}}));
        app_.LoadCatalogue(cataloguePath_.toStdU16String());
        ChannelListDialog dialog(nullptr, zapOrder_);
        Show(dialog);
        dialog.resize(QSize(360, 600) * dpi / 96);
        QApplication::processEvents();
        const int rowHeight = ChannelRowDelegate::RowHeight();
        const QFontMetrics bold(*BoldFont());
        const int subtitleTop =
            rowHeight - 4 * std::max(1, rowHeight / 32) - QFontMetrics(*SmallFont()).height();
        if (subtitleTop < 2 * bold.height()) {
            // One line fits: the name is shortened, the gap stays clear.
            EXPECT_EQ(DarkPixelsBelowFirstNameLine(dialog), 0);
        }
        // Nothing is drawn below the row.
        const QImage shot = dialog.ChannelList()->viewport()->grab().toImage();
        for (int x = 0; x < shot.width(); ++x)
            ASSERT_EQ(QColor(shot.pixel(x, rowHeight + 5)), QColor(Qt::white)) << x;
        test::SaveScreenshot(dialog,
                             QStringLiteral("dialog_channel_list_long_name_%1dpi").arg(dpi));
    }
}

TEST_F(DialogsTest, ReloadedRecordsShowTheirOwnTexts) {
    // A kept layout is checked against the record it is used for, so a new
    // catalogue whose record reuses an old one's memory shows its own name.
    const std::u16string names[] = {u"Erste", u"Zweite"};
    for (int i = 0; i < 2; ++i) {
        const std::u16string& name = names[i];
        ASSERT_TRUE(test::WriteCatalogue(cataloguePath_, "1.0",
                                         {{"de", "same", name, "n", {u"http://a"}}}));
        app_.LoadCatalogue(cataloguePath_.toStdU16String());
        ChannelListDialog dialog(nullptr, zapOrder_);
        Show(dialog);
        const QImage shot = dialog.ChannelList()->viewport()->grab().toImage();
        // The first line's ink, against each name drawn in the row font: it
        // is nearer the record's own name than the other record's (fonts
        // differ in hinting between machines, so no absolute count).
        const int lineHeight = QFontMetrics(*BoldFont()).height();
        auto differingFrom = [&](const std::u16string& text) {
            QImage expected(shot.size(), shot.format());
            expected.fill(Qt::white);
            QPainter painter(&expected);
            painter.setFont(*BoldFont());
            painter.setPen(Qt::black);
            painter.drawText(QPoint(24, QFontMetrics(*BoldFont()).ascent()),
                             QString::fromStdU16String(text));
            painter.end();
            int differing = 0;
            for (int y = 1; y < lineHeight; ++y)
                for (int x = 24; x < 150; ++x)
                    differing +=
                        (qGray(shot.pixel(x, y)) < 128) != (qGray(expected.pixel(x, y)) < 128) ? 1
                                                                                               : 0;
            return differing;
        };
        EXPECT_LT(2 * differingFrom(name), differingFrom(names[1 - i]))
            << QString::fromStdU16String(name).toStdString();
    }
}

TEST_F(DialogsTest, ShippedCatalogueOpensWithEveryChannelAndScrolls) {
    app_.LoadCatalogue((test::BuildDir() + QStringLiteral("/Channels.lmch")).toStdU16String());
    ASSERT_GT(AllChannels().size(), 10000u);
    ChannelListDialog dialog(nullptr, zapOrder_);
    Show(dialog);
    ChannelListView& list = *dialog.ChannelList();
    EXPECT_EQ(list.RowCount(), static_cast<int>(AllChannels().size()));
    EXPECT_EQ(dialog.TabCaption(ChannelTab::Channels),
              Text("tab_channels") + QStringLiteral(" (%1)").arg(AllChannels().size()));
    test::SaveScreenshot(dialog, QStringLiteral("dialog_channel_list_shipped"));
    // End goes to the last row and scrolls it into view.
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_End);
    EXPECT_EQ(list.SelectedRow(), list.RowCount() - 1);
    const QRect last = list.visualRect(list.model()->index(list.RowCount() - 1, 0));
    EXPECT_GE(last.top(), 0);
    EXPECT_LE(last.bottom(), list.viewport()->height() - 1);
    test::SaveScreenshot(dialog, QStringLiteral("dialog_channel_list_shipped_end"));
    // The test card is found by typing its name.
    QTest::keyClick(&list, Qt::Key_Home);
    QTest::keyClicks(&list, QStringLiteral("Lumora Test"));
    ASSERT_NE(list.SelectedChannel(), nullptr);
    EXPECT_EQ(list.SelectedChannel()->id, "int_TestCard");
}

// ------------------------------------------------------------------- settings

TEST_F(DialogsTest, SettingsCancelChangesNothingEvenAfterALanguageChoice) {
    ASSERT_GE(LanguageCount(), 2);
    SetStringSetting(kLanguage, u"en");
    SetBoolSetting(kAutoCU, true);
    test::RecordedMessages messages;
    SettingsDialog dialog(nullptr);
    WhenModal<SettingsDialog>([&](SettingsDialog& d) {
        EXPECT_EQ(d.windowTitle(), Text("menu_settings"));
        EXPECT_EQ(d.UpdateCheck()->text(), Text("check_cupdate"));
        EXPECT_TRUE(d.UpdateCheck()->isChecked());
        QComboBox* languages = d.LanguageChooser();
        EXPECT_EQ(languages->count(), LanguageCount());
        EXPECT_EQ(languages->currentIndex(), FindLanguage(u"en"));
        languages->setFocus();
        QTest::keyClick(languages, Qt::Key_Down);
        EXPECT_NE(languages->currentIndex(), FindLanguage(u"en"));
        d.UpdateCheck()->setChecked(false);
        QTest::keyClick(&d, Qt::Key_F2);
    });
    EXPECT_EQ(dialog.exec(), kDialogResultCancel);
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_EQ(messages.texts[0], Text("msg_lang_restart"));
    EXPECT_EQ(GetStringSetting(kLanguage, u"?"), u"en");
    EXPECT_TRUE(GetBoolSetting(kAutoCU, false));
    // The language of this run does not change.
    EXPECT_EQ(CurrentLanguage(), FindLanguage(u"en"));
}

TEST_F(DialogsTest, SettingsConfirmStoresLanguageAndUpdateCheck) {
    SetBoolSetting(kAutoCU, true);
    test::RecordedMessages messages;
    const int german = FindLanguage(u"de");
    ASSERT_GE(german, 0);
    SettingsDialog dialog(nullptr);
    WhenModal<SettingsDialog>([&](SettingsDialog& d) {
        d.LanguageChooser()->setCurrentIndex(german);
        QTest::mouseClick(d.UpdateCheck(), Qt::LeftButton);
        QTest::keyClick(&d, Qt::Key_F1);
    });
    EXPECT_EQ(dialog.exec(), kDialogResultOk);
    EXPECT_EQ(GetStringSetting(kLanguage, u"?"), u"de");
    EXPECT_FALSE(GetBoolSetting(kAutoCU, true));
}

TEST_F(DialogsTest, TheGuideLineIsStoredTrimmedAndSaysWhenItChanged) {
    SetStringSetting(kGuideSources, u"http://a.example/g.xml.gz");
    const struct {
        QString typed;
        std::u16string stored;
        bool changed;
    } rows[] = {
        {QStringLiteral("http://a.example/g.xml.gz"), u"http://a.example/g.xml.gz", false},
        {QStringLiteral("  /srv/epg.xml +1 "), u"/srv/epg.xml +1", true},
        {QString(), u"", true},  // the playlist's own guides again
    };
    for (const auto& row : rows) {
        SettingsDialog dialog(nullptr);
        Show(dialog);
        dialog.GuideField()->setText(row.typed);
        dialog.DispatchCommand(ID_SOFTKEY_DONE);
        EXPECT_EQ(GetStringSetting(kGuideSources, u"?"), row.stored) << row.typed.toStdString();
        EXPECT_EQ(dialog.GuideChanged(), row.changed) << row.typed.toStdString();
    }
}

TEST_F(DialogsTest, AnAccountsPasswordIsKeptForTheUserAloneAndNeverInTheSettings) {
    // No secret store: the password goes to the user's own file, and the
    // dialog says so.
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/lumora-bus", 1);
    test::RecordedMessages messages;
    const std::string folder = UserDataFolder().toStdString();
    {
        SettingsDialog dialog(nullptr);
        Show(dialog);
        QTRY_VERIFY(dialog.SecretNotice()->isVisible());
        EXPECT_EQ(dialog.SecretNotice()->text(), Text("msg_account_password_file"));
        dialog.AccountServerField()->setText(QStringLiteral(" http://provider.example:8080 "));
        dialog.AccountUserField()->setText(QStringLiteral("viewer"));
        dialog.AccountPasswordField()->setText(QStringLiteral("s3cret"));
        dialog.DispatchCommand(ID_SOFTKEY_DONE);
        EXPECT_TRUE(dialog.SourceChanged());
    }
    QTRY_COMPARE(messages.texts, QStringList{Text("msg_account_password_file")});
    EXPECT_EQ(GetStringSetting(kAccountServer, u""), u"http://provider.example:8080");
    EXPECT_EQ(LoadAccountSecret(folder), "s3cret");
    struct stat info {};
    ASSERT_EQ(::stat((folder + "/" + kAccountSecretFileName).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    const std::optional<ProviderAccount> account = CurrentAccount();
    ASSERT_TRUE(account);
    EXPECT_EQ(account->user, "viewer");
    EXPECT_EQ(AccountPasswordForUpdates()(*account), "s3cret");
    // The settings hold no password, under whatever name.
    for (const auto& [name, kind] : kSettingKinds) {
        if (kind == SettingKind::String) {
            EXPECT_EQ(FindStringSetting(name).value_or(u"").find(u"s3cret"), std::u16string::npos);
        }
    }

    // Kept, not shown; an account taken away takes its password with it.
    {
        SettingsDialog dialog(nullptr);
        EXPECT_TRUE(dialog.AccountPasswordField()->text().isEmpty());
        QTRY_COMPARE(dialog.AccountPasswordField()->placeholderText(),
                     Text("str_account_password_kept"));
        dialog.AccountServerField()->clear();
        dialog.DispatchCommand(ID_SOFTKEY_DONE);
    }
    QTRY_VERIFY(LoadAccountSecret(folder).empty());
    EXPECT_FALSE(CurrentAccount());
}

TEST_F(DialogsTest, CheckingTheAccountSaysWhatTheProviderAnswered) {
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/lumora-bus", 1);
    setenv("TZ", "UTC", 1);
    tzset();
    test::ServerProcess provider({LUMORA_TEST_PYTHON, LUMORA_PROVIDER_SERVER});
    ASSERT_GT(provider.Port(), 0);
    const QString live = QStringLiteral("http://127.0.0.1:%1").arg(provider.Port());
    const QString dead = QStringLiteral("http://127.0.0.1:%1").arg(test::UnusedPort());
    const struct {
        QString server, user, password;
        QString status;
    } rows[] = {
        {live, "good", "pw", Text("str_account_active_until").replace("%s", "2099-01-01")},
        {live, "old", "pw", Text("str_account_expired")},
        {live, "good", "wrong", Text("str_account_refused")},
        {live, "good", "", Text("str_account_refused")},  // none typed, none kept
        {live, "html", "pw", Text("str_account_not_provider")},
        {dead, "good", "pw", Text("str_account_unreachable")},
        {"ftp://127.0.0.1", "good", "pw", Text("str_account_unreachable")},
    };
    SettingsDialog dialog(nullptr);
    Show(dialog);
    for (const auto& row : rows) {
        dialog.AccountServerField()->setText(row.server);
        dialog.AccountUserField()->setText(row.user);
        dialog.AccountPasswordField()->setText(row.password);
        QTest::mouseClick(dialog.AccountCheckButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(dialog.AccountStatus()->text(), row.status, 20000);
        if (&row == &rows[0])
            test::SaveScreenshot(dialog, QStringLiteral("dialog_settings_account_checked"));
    }
    // A check asks; it keeps nothing.
    EXPECT_TRUE(GetStringSetting(kAccountServer, u"").empty());
}

TEST_F(DialogsTest, AdultChannelsShowOnlyWhenChosenAndChangeTheAccountsCatalogue) {
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/lumora-bus", 1);
    SetStringSetting(kAccountServer, u"http://provider.example:8080");
    SetStringSetting(kAccountUser, u"viewer");
    const struct {
        bool checked, changed;
    } rows[] = {{false, false}, {true, true}, {true, false}, {false, true}};
    for (const auto& row : rows) {
        SettingsDialog dialog(nullptr);
        Show(dialog);
        dialog.AdultCheck()->setChecked(row.checked);
        dialog.DispatchCommand(ID_SOFTKEY_DONE);
        EXPECT_EQ(GetBoolSetting(kAccountShowAdult, !row.checked), row.checked);
        EXPECT_EQ(dialog.SourceChanged(), row.changed) << row.checked;
        EXPECT_EQ(CurrentUpdateSource({}).accountShowsAdult, row.checked);
    }
}

TEST_F(DialogsTest, TheRecordingLinesShowTheirSettingsWithinTheirLimitsAndStoreThem) {
    const struct {
        std::optional<int> margin, atOnce;  // stored; nothing: never set
        int shownMargin, shownAtOnce;
    } rows[] = {
        {std::nullopt, std::nullopt, 5, 2},
        {10, 3, 10, 3},
        {500, 0, 120, 1},
        {-4, 99, 0, 8},
    };
    for (const auto& row : rows) {
        if (row.margin)
            SetIntSetting(kRecordMarginMinutes, *row.margin);
        if (row.atOnce)
            SetIntSetting(kRecordMostAtOnce, *row.atOnce);
        SettingsDialog dialog(nullptr);
        Show(dialog);
        EXPECT_EQ(dialog.RecordMarginField()->value(), row.shownMargin);
        EXPECT_EQ(dialog.RecordAtOnceField()->value(), row.shownAtOnce);
        // Changed with the keyboard, stored by OK.
        dialog.RecordMarginField()->setFocus();
        QTest::keyClick(dialog.RecordMarginField(), Qt::Key_Up);
        dialog.RecordAtOnceField()->setFocus();
        QTest::keyClick(dialog.RecordAtOnceField(), Qt::Key_Down);
        dialog.DispatchCommand(ID_SOFTKEY_DONE);
        EXPECT_EQ(GetIntSetting(kRecordMarginMinutes, -1), std::min(row.shownMargin + 1, 120));
        EXPECT_EQ(GetIntSetting(kRecordMostAtOnce, -1), std::max(row.shownAtOnce - 1, 1));
    }
}

TEST_F(DialogsTest, UnknownStoredLanguageOrNoPackKeepsTheStoredCode) {
    SetStringSetting(kLanguage, u"xx");
    {
        SettingsDialog dialog(nullptr);
        Show(dialog);
        EXPECT_EQ(dialog.LanguageChooser()->currentIndex(), -1);
        dialog.DispatchCommand(ID_SOFTKEY_DONE);
        EXPECT_EQ(GetStringSetting(kLanguage, u"?"), u"xx");
    }
    ReleaseLanguages();
    {
        FirstRunDialog dialog(nullptr);
        Show(dialog);
        EXPECT_EQ(dialog.LanguageChooser()->count(), 0);
        dialog.DispatchCommand(ID_SOFTKEY_DONE);
        EXPECT_TRUE(dialog.Confirmed());
        EXPECT_EQ(GetStringSetting(kLanguage, u"?"), u"xx");
    }
    {
        SettingsDialog dialog(nullptr);
        Show(dialog);
        // Without a pack the keys stay visible rather than leaving blanks.
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("menu_settings"));
        dialog.DispatchCommand(ID_SOFTKEY_DONE);
        EXPECT_EQ(GetStringSetting(kLanguage, u"?"), u"xx");
    }
}

// Counts the connections a server on 127.0.0.1 receives.
class CountingServer {
public:
    CountingServer() {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                ++connections;
                socket->close();
                socket->deleteLater();
            }
        });
    }
    std::u16string Address() const {
        return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort()).toStdU16String();
    }
    int connections = 0;

private:
    QTcpServer server_;
};

TEST_F(DialogsTest, UpdateCheckSwitchedOffStartsNoCheckAtTheNextStart) {
    CountingServer server;
    const QString settingsPath = folders_.DataHome() + QStringLiteral("/Settings.cfg");
    LoadSettings(settingsPath.toStdU16String());
    SetStringSetting(kUpdateServer, server.Address());

    // While "AutoCU" is on, a start asks the server.
    SetBoolSetting(kAutoCU, true);
    MakeFrame();
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.connections > 0; }, 5000));
    frame_.reset();
    app_.ReleaseCatalogue();

    {
        SettingsDialog dialog(nullptr);
        Show(dialog);
        EXPECT_TRUE(dialog.UpdateCheck()->isChecked());
        dialog.UpdateCheck()->setChecked(false);
        dialog.DispatchCommand(ID_SOFTKEY_DONE);
    }
    ASSERT_TRUE(SaveSettings());

    // The next start.
    ResetSettings();
    LoadSettings(settingsPath.toStdU16String());
    EXPECT_FALSE(GetBoolSetting(kAutoCU, true));
    const int before = server.connections;
    MakeFrame();
    QTest::qWait(1500);
    EXPECT_EQ(server.connections, before);
}

// ------------------------------------------------------------------ first run

TEST_F(DialogsTest, FirstRunRelabelsItselfAndItsSoftKeysLive) {
    const int german = FindLanguage(u"de");
    const int english = FindLanguage(u"en");
    ASSERT_GE(german, 0);
    ASSERT_GE(english, 0);
    FirstRunDialog dialog(nullptr);
    Show(dialog);
    EXPECT_FALSE(dialog.Confirmed());
    EXPECT_EQ(dialog.LanguageChooser()->currentIndex(), english);
    EXPECT_EQ(dialog.windowTitle(), Text("str_attention"));
    EXPECT_EQ(dialog.SoftKeys()->KeyText(SoftKey::Left), Text("button_continue"));
    EXPECT_EQ(dialog.SoftKeys()->KeyCommand(SoftKey::Left), ID_SOFTKEY_DONE);
    EXPECT_EQ(dialog.SoftKeys()->KeyCommand(SoftKey::Right), ID_SOFTKEY_CANCEL);
    const QString englishTitle = dialog.windowTitle();
    const QString englishContinue = dialog.SoftKeys()->KeyText(SoftKey::Left);

    // The user picks German: everything follows at once.
    dialog.LanguageChooser()->setCurrentIndex(german);
    emit dialog.LanguageChooser()->activated(german);
    EXPECT_EQ(CurrentLanguage(), german);
    EXPECT_NE(dialog.windowTitle(), englishTitle);
    EXPECT_EQ(dialog.windowTitle(), Text("str_attention"));
    EXPECT_EQ(dialog.Notice()->text(), Text("static_attentionx"));
    EXPECT_EQ(dialog.LanguageLabel()->text(), Text("static_language"));
    EXPECT_NE(dialog.SoftKeys()->KeyText(SoftKey::Left), englishContinue);
    EXPECT_EQ(dialog.SoftKeys()->KeyText(SoftKey::Left), Text("button_continue"));
    EXPECT_EQ(dialog.SoftKeys()->KeyText(SoftKey::Right), Text("button_cancel"));

    dialog.DispatchCommand(ID_SOFTKEY_DONE);
    EXPECT_TRUE(dialog.Confirmed());
    EXPECT_EQ(dialog.result(), kDialogResultOk);
    EXPECT_EQ(GetStringSetting(kLanguage, u"?"), u"de");
}

TEST_F(DialogsTest, FirstRunCancelAndTheFramesOwnCommandsLeaveItUnconfirmed) {
    for (int command : {ID_SOFTKEY_CANCEL, IDOK, IDCANCEL}) {
        SCOPED_TRACE(command);
        SetStringSetting(kLanguage, u"en");
        FirstRunDialog dialog(nullptr);
        WhenModal<FirstRunDialog>([command](FirstRunDialog& d) {
            d.LanguageChooser()->setCurrentIndex(FindLanguage(u"fr"));
            d.DispatchCommand(command);
        });
        dialog.exec();
        EXPECT_FALSE(dialog.Confirmed());
        EXPECT_EQ(GetStringSetting(kLanguage, u"?"), u"en");
    }
    // Through the shell's entry, Esc.
    WhenModal<FirstRunDialog>([](FirstRunDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); });
    EXPECT_FALSE(RunFirstRunDialog(nullptr));
    WhenModal<FirstRunDialog>([](FirstRunDialog& d) { QTest::keyClick(&d, Qt::Key_F1); });
    EXPECT_TRUE(RunFirstRunDialog(nullptr));
}

TEST_F(DialogsTest, CancelledFirstStartEndsWithZeroAndAsksAgainNextTime) {
    // The program's own start-up, with the data of the build.
    OverrideShippedDataFolder(test::BuildDir());
    ResetSettings();
    ReleaseLanguages();
    WhenModal<FirstRunDialog>([](FirstRunDialog& d) { QTest::keyClick(&d, Qt::Key_F2); });
    auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
    ASSERT_NE(application, nullptr);
    const int code = RunLumora(*application, QString());
    application->setQuitOnLastWindowClosed(true);
    OverrideShippedDataFolder(QString());
    EXPECT_EQ(code, kFirstRunCancelledExitCode);
    EXPECT_EQ(TheMainFrame(), nullptr);
    EXPECT_EQ(TheLoadingDialog(), nullptr);

    // The settings were saved, with "first_run" still true.
    const QString settingsPath = folders_.UserFolder() + QStringLiteral("/Settings.cfg");
    ASSERT_TRUE(QFile::exists(settingsPath));
    ResetSettings();
    LoadSettings(settingsPath.toStdU16String());
    EXPECT_TRUE(GetBoolSetting(kFirstRun, false));
    test::LoadShippedInterface(96);
}

// --------------------------------------------------------------------- splash

TEST_F(DialogsTest, SplashPictureIsHalvedOrDoubledToFitTheWindow) {
    struct Row {
        QSize image;
        int clientWidth;
        QSize shown;
    };
    const Row rows[] = {
        {{1000, 600}, 240, {125, 75}},  // wider: halved until it fits
        {{480, 320}, 240, {240, 160}},  // twice as wide: halved once
        {{241, 100}, 240, {120, 50}},  {{240, 160}, 240, {240, 160}},  // as wide: unscaled
        {{200, 100}, 240, {200, 100}},  // between half and full: unscaled
        {{120, 80}, 240, {120, 80}},    // exactly half: unscaled
        {{120, 80}, 241, {120, 80}},    // half of an odd width, rounded down
        {{119, 80}, 240, {238, 160}},   // narrower than half: doubled
        {{25, 10}, 240, {200, 80}},     // doubled until at least half
        {{1, 1}, 5, {2, 2}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(QStringLiteral("%1x%2 in %3")
                         .arg(row.image.width())
                         .arg(row.image.height())
                         .arg(row.clientWidth)
                         .toStdString());
        const SplashPlacement placement = PlaceSplashImage(row.image, row.clientWidth, 70);
        EXPECT_EQ(placement.image.size(), row.shown);
        EXPECT_EQ(placement.image.left(), (row.clientWidth - row.shown.width()) / 2);
        EXPECT_EQ(placement.image.top(), 70);
        EXPECT_EQ(placement.growUp, 2 * row.shown.height() / 3);
        EXPECT_EQ(placement.grow, 4 * row.shown.height() / 3);
    }
    // An empty picture places nothing (and never loops).
    EXPECT_TRUE(PlaceSplashImage({0, 0}, 240, 70).image.isEmpty());
    EXPECT_TRUE(PlaceSplashImage({100, 0}, 240, 70).image.isEmpty());
    EXPECT_TRUE(PlaceSplashImage({0, 100}, 0, 70).image.isEmpty());
}

TEST_F(DialogsTest, TheSplashHeadStartEndsWithItsFirstPaint) {
    auto splash = std::make_unique<LoadingDialog>(nullptr);
    splash->show();
    // The limit only bounds the wait: it ends with the splash's first paint.
    WaitForLoadingDialogPainted(60000);
    EXPECT_TRUE(splash->Painted());
    splash.reset();
    // Without a splash there is nothing to wait for.
    EXPECT_EQ(TheLoadingDialog(), nullptr);
    WaitForLoadingDialogPainted(60000);
}

TEST_F(DialogsTest, SplashGrowsAroundItsPictureAndEndsAtTheFirstTick) {
    ASSERT_NE(SplashImage(), nullptr);
    ASSERT_TRUE(StartLoadingDialog());
    LoadingDialog* splash = TheLoadingDialog();
    ASSERT_NE(splash, nullptr);
    EXPECT_TRUE(splash->isVisible());
    EXPECT_EQ(splash->windowTitle(), QString::fromStdU16String(AppTitle()));
    const QRect image = splash->ImageRect();
    ASSERT_FALSE(image.isEmpty());
    const QSize picture = SplashImage()->image.size();
    EXPECT_EQ(image.size(), PlaceSplashImage(picture, splash->width(), image.top()).image.size());
    EXPECT_EQ(splash->height(), image.top() + 4 * image.height() / 3);
    EXPECT_EQ(image.left(), (splash->width() - image.width()) / 2);
    // The picture is painted into its rectangle, below the title strip.
    const QImage shot = splash->grab().toImage();
    const QImage scaled = SplashImage()->image.scaled(image.size());
    const QPoint probe(image.width() / 2, image.height() / 2);
    EXPECT_EQ(QColor(shot.pixel(image.topLeft() + probe)), QColor(scaled.pixel(probe)));
    EXPECT_EQ(QColor(shot.pixel(image.topLeft() + QPoint(1, 1))), QColor(scaled.pixel(1, 1)));

    // The player view's first tick ends it.
    MainFrame& frame = MakeFrame();
    frame.View().Tick();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(TheLoadingDialog(), nullptr);
    // Later ends find nothing to close.
    EndLoadingDialog();
    frame.View().Tick();
}

TEST_F(DialogsTest, SplashAndUpdateWaitDialogAreBorderedPopups) {
    LoadingDialog splash(nullptr);
    UpdateDialog wait(nullptr, nullptr);
    for (DialogFrame* dialog :
         {static_cast<DialogFrame*>(&splash), static_cast<DialogFrame*>(&wait)}) {
        Show(*dialog);
        const QImage shot = dialog->grab().toImage();
        const QColor frame = FramePen().color();
        const int w = shot.width();
        const int h = shot.height();
        // Every pixel of the outermost ring, below the title strip too.
        int off = 0;
        for (int x = 0; x < w; ++x)
            off += (QColor(shot.pixel(x, 0)) != frame) + (QColor(shot.pixel(x, h - 1)) != frame);
        for (int y = 0; y < h; ++y)
            off += (QColor(shot.pixel(0, y)) != frame) + (QColor(shot.pixel(w - 1, y)) != frame);
        EXPECT_EQ(off, 0) << dialog->metaObject()->className();
        // Inside it, the dialog's own background.
        EXPECT_EQ(QColor(shot.pixel(1, h - 2)), BackgroundBrush().color());
        dialog->done(kDialogResultOk);
    }
}

TEST_F(DialogsTest, SplashNeverHidesWhatTheUserMustAnswer) {
    ASSERT_TRUE(ShowLoadingDialog());
    QPointer<LoadingDialog> splash = TheLoadingDialog();
    EXPECT_TRUE(splash->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(splash->testAttribute(Qt::WA_ShowWithoutActivating));
    {
        // A message it owns comes over it and leaves it open.
        QMessageBox owned(QMessageBox::NoIcon, QString(), QStringLiteral("Wrong category!"),
                          QMessageBox::Ok, splash.data());
        owned.setModal(true);
        owned.show();
        EXPECT_TRUE(splash->isVisible());
    }
    // The main window is up: no longer above everything.
    KeepLoadingDialogInLine();
    EXPECT_FALSE(splash->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(splash->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(splash->isVisible());
    // Any other modal window ends it before it shows.
    QDialog modal;
    modal.setModal(true);
    modal.show();
    EXPECT_EQ(TheLoadingDialog(), nullptr);
    EXPECT_EQ(splash->result(), kDialogResultOk);
    modal.hide();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(splash);
}

TEST_F(DialogsTest, SplashClosedByTheUserIsNeverUsedAgain) {
    ASSERT_TRUE(ShowLoadingDialog());
    QPointer<LoadingDialog> splash = TheLoadingDialog();
    ASSERT_TRUE(splash);
    QTest::keyClick(splash.data(), Qt::Key_Escape);
    EXPECT_EQ(splash->result(), kDialogResultCancel);
    EXPECT_EQ(TheLoadingDialog(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(splash);
    EndLoadingDialog();  // nothing to end, nothing touched

    // Command 1 ends it with 1.
    ASSERT_TRUE(ShowLoadingDialog());
    splash = TheLoadingDialog();
    splash->DispatchCommand(IDOK);
    EXPECT_EQ(splash->result(), kDialogResultOk);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(splash);
}

TEST_F(DialogsTest, SplashWithoutPictureKeepsItsTemplateSize) {
    LoadInterfaceResources((test::BuildDir() + "/Resources.velt").toStdU16String(),
                           u"/nonexistent/cbuild.velt", 96);
    ASSERT_EQ(SplashImage(), nullptr);
    LoadingDialog splash(nullptr);
    Show(splash);
    EXPECT_TRUE(splash.ImageRect().isEmpty());
    EXPECT_EQ(splash.size(),
              splash.MapDialogRect(QRect(QPoint(0, 0), LoadingDialog::kTemplateUnits)).size());
    splash.done(kDialogResultOk);
}

// ---------------------------------------------------------------------- about

TEST_F(DialogsTest, AboutShowsTitleVersionAddressesAndRights) {
    AboutDialog dialog(nullptr);
    Show(dialog);
    EXPECT_EQ(dialog.windowTitle(),
              Text("menu_about") + " " + QString::fromStdU16String(AppTitle()));
    EXPECT_EQ(dialog.VersionBlock()->text(), QString::fromStdU16String(AppTitle()) + "\n" +
                                                 Text("str_version").replace("%s", "2.0.1"));
    EXPECT_TRUE(dialog.VersionBlock()->text().contains("2.0.1"));
    EXPECT_TRUE(dialog.Addresses()->text().contains("https://lumora.example.org"));
    EXPECT_EQ(dialog.Copyright()->text(), Text("static_copyright"));
    ASSERT_FALSE(dialog.Icon()->pixmap().isNull());
    const int bar = BarHeight();
    const int width = dialog.ClientRect().width();
    const int height = dialog.ClientRect().height();
    EXPECT_EQ(dialog.VersionBlock()->geometry(),
              QRect(2 * bar, 5 * bar / 4, width - 4 * bar, 5 * bar / 4));
    EXPECT_EQ(dialog.Addresses()->geometry().topLeft(), QPoint(4 * bar / 3, 5 * bar));
    EXPECT_EQ(dialog.Addresses()->width(), width - 8 * bar / 3);
    // At least the layout's height, and all its lines with their descenders.
    const QLabel* addresses = dialog.Addresses();
    const QRect needed = addresses->fontMetrics().boundingRect(
        QRect(0, 0, addresses->width(), 10000), int(addresses->alignment()), addresses->text());
    EXPECT_GE(addresses->height(), 5 * bar / 4);
    EXPECT_GE(addresses->height(), needed.height());
    EXPECT_EQ(dialog.Copyright()->geometry(),
              QRect(bar / 8, height - 4 * bar / 3, width - 2 * (bar / 8), 4 * bar / 3));

    // The OK soft key ends it with 1; Esc with 2.
    QTest::keyClick(&dialog, Qt::Key_F2);
    EXPECT_EQ(dialog.result(), kDialogResultOk);
    AboutDialog again(nullptr);
    Show(again);
    QTest::keyClick(&again, Qt::Key_Escape);
    EXPECT_EQ(again.result(), kDialogResultCancel);
}

// ---------------------------------------------------------------- screenshots

TEST_F(DialogsTest, ScreenshotsAt96And192Dpi) {
    for (int dpi : {96, 192}) {
        SCOPED_TRACE(dpi);
        test::LoadShippedInterface(dpi);
        app_.ReleaseCatalogue();
        LoadCatalogue();
        AddFavourite(*Find("de_two"));
        const QSize area = QSize(360, 600) * dpi / 96;
        auto shoot = [&](DialogFrame& dialog, const QString& name) {
            Show(dialog);
            if (dialog.SizeMode() == DialogSize::FullScreen)
                dialog.resize(area);
            QApplication::processEvents();
            test::SaveScreenshot(dialog, QStringLiteral("dialog_%1_%2dpi").arg(name).arg(dpi));
        };
        {
            SetIntSetting(kSelTab, 0);
            ChannelListDialog dialog(nullptr, zapOrder_);
            EXPECT_EQ(BarHeight(), dpi == 96 ? 24 : 48);
            shoot(dialog, "channel_list");
            // The choosers and the list keep clear of each other's frames.
            EXPECT_LT(dialog.CountryChooser()->geometry().bottom() + 1,
                      dialog.CategoryChooser()->geometry().top() - 1);
            EXPECT_LT(dialog.CategoryChooser()->geometry().bottom() + 1,
                      dialog.ChannelList()->geometry().top() - 1);
            dialog.ShowTab(ChannelTab::Favourites);
            shoot(dialog, "channel_list_favourites");
        }
        {
            SettingsDialog dialog(nullptr);
            shoot(dialog, "settings");
        }
        {
            FirstRunDialog dialog(nullptr);
            shoot(dialog, "first_run");
            const int bar = BarHeight();
            const QRect client = dialog.ClientRect();
            EXPECT_EQ(dialog.Notice()->geometry(),
                      QRect(bar / 8, bar / 8 + bar, client.width() - bar / 4,
                            client.height() - 2 * (bar / 8 + bar)));
            EXPECT_EQ(dialog.LanguageChooser()->geometry().topLeft(),
                      QPoint(4 * bar, client.height() - bar));
        }
        {
            AboutDialog dialog(nullptr);
            shoot(dialog, "about");
        }
        {
            LoadingDialog dialog(nullptr);
            shoot(dialog, "loading");
            dialog.done(kDialogResultOk);
        }
    }
}

}  // namespace
}  // namespace lumora
