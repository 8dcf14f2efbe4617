// What assistive technology sees of the controls the shell paints itself,
// asked of Qt's accessibility directly: names, roles, states, values, the
// press actions, and the keyboard path through the main window. (Qt sends
// change events only to a platform with an accessibility bridge, so that
// they are announced is the AT-SPI script test's part.)

#include <functional>
#include <set>
#include <vector>

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "catalogue/catalogue.h"
#include "catalogue/channel.h"
#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "catalogue/zap_order.h"
#include "process_state.h"
#include "resources/resources.h"
#include "shell/app/app_startup.h"
#include "shell/app/localise.h"
#include "shell/desktop/accessible_widgets.h"
#include "shell/dialogs/about_dialog.h"
#include "shell/dialogs/channel_list_dialog.h"
#include "shell/dialogs/channel_list_view.h"
#include "shell/dialogs/channel_row_delegate.h"
#include "shell/dialogs/first_run_dialog.h"
#include "shell/dialogs/guide_grid_dialog.h"
#include "shell/dialogs/guide_grid_view.h"
#include "shell/dialogs/programme_details_dialog.h"
#include "shell/dialogs/recordings_dialog.h"
#include "shell/dialogs/settings_dialog.h"
#include "shell/dialogs/update_dialog.h"
#include "shell/main_window/channel_title_bar.h"
#include "shell/main_window/control_bar.h"
#include "shell/main_window/main_frame.h"
#include "shell/main_window/player_view.h"
#include "shell/main_window/recording_control.h"
#include "shell/widgets/image_button.h"
#include "shell/widgets/position_bar.h"
#include "shell/widgets/soft_key_bar.h"
#include "shell/widgets/volume_slider.h"
#include "shell_test_support.h"

namespace lumora {
namespace {

using test::FakeOutput;

QAccessibleInterface* Accessible(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

class AccessibleWidgetsTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ResetProcessState();
        SetBoolSetting(kAutoCU, false);
        test::LoadShippedInterface(96);
        InstallAccessibleWidgets();
        cataloguePath_ = folders_.DataHome() + QStringLiteral("/Channels.lmch");
        ASSERT_TRUE(
            test::WriteCatalogue(cataloguePath_, "1.0",
                                 {{"de", "one", u"Eins", "n", {u"http://127.0.0.1:9/eins.ts"}},
                                  {"fr", "two", u"Deux", "n", {u"http://127.0.0.1:9/deux.ts"}}}));
    }

    void TearDown() override {
        frame_.reset();
        app_.ReleaseCatalogue();
        test::ResetProcessState();
    }

    MainFrame& MakeFrame() {
        frame_ =
            std::make_unique<MainFrame>(app_, test::FakePlayerOptions(cataloguePath_, player_));
        frame_->resize(360, 640);
        return *frame_;
    }

    test::IsolatedUserFolders folders_;
    QString cataloguePath_;
    // The program's state, which outlives the window.
    Application app_;
    std::unique_ptr<MainFrame> frame_;
    FakeOutput* player_ = nullptr;
};

TEST_F(AccessibleWidgetsTest, ControlBarNamesItsControlsAndTheSlidersTheirValues) {
    MainFrame& frame = MakeFrame();
    ControlBar& bar = *frame.findChild<ControlBar*>();
    struct Row {
        QWidget* widget;
        QAccessible::Role role;
        QString name;
    };
    const std::vector<Row> rows = {
        {bar.playButton(), QAccessible::Button, Text("menu_play")},
        {bar.fullScreenButton(), QAccessible::Button, Text("menu_fullscreen")},
        {bar.volumeSlider(), QAccessible::Slider, Text("str_volume")},
        {bar.positionBar(), QAccessible::Slider, Text("str_position")},
    };
    for (const Row& row : rows) {
        QAccessibleInterface* control = Accessible(row.widget);
        ASSERT_NE(control, nullptr) << row.name.toStdString();
        EXPECT_EQ(control->role(), row.role) << row.name.toStdString();
        EXPECT_FALSE(row.name.isEmpty());
        EXPECT_EQ(control->text(QAccessible::Name), row.name);
    }
    bar.setPlaying(true);
    EXPECT_EQ(Accessible(bar.playButton())->text(QAccessible::Name), Text("str_stop"));
    bar.setPlaying(false);
    EXPECT_EQ(Accessible(bar.playButton())->text(QAccessible::Name), Text("menu_play"));

    // The volume in percent; set through the interface it is the user's.
    QAccessibleInterface* volume = Accessible(bar.volumeSlider());
    bar.setVolume(40);
    EXPECT_EQ(volume->text(QAccessible::Value), QStringLiteral("40%"));
    ASSERT_NE(volume->valueInterface(), nullptr);
    EXPECT_EQ(volume->valueInterface()->maximumValue().toInt(), 100);
    QSignalSpy changed(&bar, &ControlBar::volumeChanged);
    volume->valueInterface()->setCurrentValue(70);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toInt(), 70);

    // The position: the bar's own text.
    bar.positionBar()->SetShown({100, 400, 150, 250, QStringLiteral("-02:30")});
    QAccessibleInterface* position = Accessible(bar.positionBar());
    EXPECT_EQ(position->text(QAccessible::Value), QStringLiteral("-02:30"));
    EXPECT_DOUBLE_EQ(position->valueInterface()->currentValue().toDouble(), 150.0);
    EXPECT_DOUBLE_EQ(position->valueInterface()->maximumValue().toDouble(), 300.0);
    // A seek asked through the interface stays within the bar's span.
    QSignalSpy seeks(bar.positionBar(), &PositionBar::seekRequested);
    position->valueInterface()->setCurrentValue(1e12);
    position->valueInterface()->setCurrentValue(-5);
    ASSERT_EQ(seeks.count(), 2);
    EXPECT_DOUBLE_EQ(seeks.at(0).at(0).toDouble(), 400.0);
    EXPECT_DOUBLE_EQ(seeks.at(1).at(0).toDouble(), 100.0);
}

TEST_F(AccessibleWidgetsTest, TitleStripIsAHeadingAndAStatusLineThatAnnouncesChanges) {
    ChannelTitleBar bar;
    QAccessibleInterface* strip = Accessible(&bar);
    ASSERT_EQ(strip->childCount(), 2);
    QAccessibleInterface* heading = strip->child(ChannelTitleBar::kNamePart);
    QAccessibleInterface* status = strip->child(ChannelTitleBar::kStatusPart);
    EXPECT_EQ(heading->role(), QAccessible::Heading);
    EXPECT_EQ(status->role(), QAccessible::StatusBar);
    EXPECT_EQ(strip->indexOfChild(status), ChannelTitleBar::kStatusPart);
    EXPECT_EQ(status->parent(), strip);

    // The status line says what is shown: the status, or the programme
    // in its place.
    bar.setChannelName(QStringLiteral("Eins"));
    bar.setStatus(QStringLiteral("Buffering 40%"));
    EXPECT_EQ(heading->text(QAccessible::Name), QStringLiteral("Eins"));
    EXPECT_EQ(status->text(QAccessible::Name), QStringLiteral("Buffering 40%"));
    bar.setProgramme(QStringLiteral("20:00–21:00 News"), 0.5);
    bar.setStatus(QStringLiteral("Stream lost"));
    EXPECT_EQ(status->text(QAccessible::Name), QStringLiteral("20:00–21:00 News"));
    bar.setProgramme({}, 0);
    bar.setNote(QStringLiteral("Updating the guide"));
    EXPECT_EQ(status->text(QAccessible::Name), QStringLiteral("Stream lost, Updating the guide"));
}

TEST_F(AccessibleWidgetsTest, SoftKeysArePressableButtonsAndTheMenuKeyHasAPopup) {
    QWidget window;
    SoftKeyBar bar(&window);
    QMenu menu;
    SoftKeyBar::AddMenuCommand(menu, QStringLiteral("About"), 7);
    bar.SetKey(SoftKey::Left, QStringLiteral("Channels"), 42);
    bar.SetKeyMenu(SoftKey::Right, QStringLiteral("Menu"), &menu);
    QAccessibleInterface* keys = Accessible(&bar);
    ASSERT_EQ(keys->childCount(), 2);
    QAccessibleInterface* left = keys->child(0);
    QAccessibleInterface* right = keys->child(1);
    EXPECT_EQ(left->role(), QAccessible::PushButton);
    EXPECT_EQ(left->text(QAccessible::Name), QStringLiteral("Channels"));
    EXPECT_FALSE(left->state().hasPopup);
    EXPECT_EQ(right->text(QAccessible::Name), QStringLiteral("Menu"));
    EXPECT_TRUE(right->state().hasPopup);
    EXPECT_TRUE(right->actionInterface()->actionNames().contains(
        QAccessibleActionInterface::showMenuAction()));
    EXPECT_EQ(
        left->actionInterface()->keyBindingsForAction(QAccessibleActionInterface::pressAction()),
        QStringList({QKeySequence(Qt::Key_F1).toString()}));

    // Pressed after the request returns: a key may open a modal dialog.
    QSignalSpy commands(&bar, &SoftKeyBar::commandTriggered);
    left->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(commands.count(), 0);
    QCoreApplication::processEvents();
    ASSERT_EQ(commands.count(), 1);
    EXPECT_EQ(commands.at(0).at(0).toInt(), 42);

    bar.SetKeyText(SoftKey::Left, QStringLiteral("Play"));
    EXPECT_EQ(left->text(QAccessible::Name), QStringLiteral("Play"));
}

TEST_F(AccessibleWidgetsTest, ChannelListExposesItsTitleTabsAndRows) {
    app_.LoadCatalogue(cataloguePath_.toStdU16String());
    ASSERT_NE(TheCatalogue(), nullptr);
    TheCatalogue()->FindChannel("de_one")->favourite = true;
    ZapOrder zapOrder;
    ChannelListDialog dialog(nullptr, zapOrder);
    dialog.show();
    EXPECT_EQ(Accessible(&dialog)->text(QAccessible::Name), Text("menu_channels"));

    QAccessibleInterface* tabs = Accessible(dialog.TabStrip());
    ASSERT_EQ(tabs->role(), QAccessible::PageTabList);
    ASSERT_EQ(tabs->childCount(), 2);
    QAccessibleInterface* channels = tabs->child(0);
    QAccessibleInterface* favourites = tabs->child(1);
    EXPECT_EQ(channels->role(), QAccessible::PageTab);
    EXPECT_EQ(channels->text(QAccessible::Name), dialog.TabCaption(ChannelTab::Channels));
    EXPECT_EQ(favourites->text(QAccessible::Name), Text("tab_favorites") + " (1)");
    const bool channelTabFirst = dialog.CurrentTab() == ChannelTab::Channels;
    EXPECT_EQ(channels->state().selected, channelTabFirst);
    EXPECT_EQ(favourites->state().selected, !channelTabFirst);
    // The press action picks the tab, as a tap does.
    QAccessibleInterface* other = channelTabFirst ? favourites : channels;
    other->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_NE(dialog.CurrentTab() == ChannelTab::Channels, channelTabFirst);
    EXPECT_TRUE(other->state().selected);

    // Rows: name, subtitle and the favourite mark in one text.
    const QAbstractItemModel& rows = *dialog.ChannelList()->model();
    QStringList texts;
    for (int row = 0; row < rows.rowCount(); ++row)
        texts << rows.index(row, 0).data(Qt::AccessibleTextRole).toString();
    ASSERT_EQ(texts.size(), 2);
    const QString favourite = QStringLiteral(", ") + Text("str_favorite");
    EXPECT_TRUE(texts.filter(QStringLiteral("Eins, ")).value(0).endsWith(favourite))
        << texts.join('|').toStdString();
    EXPECT_FALSE(texts.filter(QStringLiteral("Deux, ")).value(0).contains(favourite))
        << texts.join('|').toStdString();

    // The guide grid names its selection.
    GuideGridView grid(nullptr, {TheCatalogue()->FindChannel("fr_two")}, nullptr);
    grid.SelectNowOn(0);
    EXPECT_EQ(Accessible(&grid)->text(QAccessible::Name),
              QStringLiteral("Deux, ") + Text("str_guide_no_programme"));
}

TEST_F(AccessibleWidgetsTest, DialogsAreNamedByTheirTitleStripsAndMessagesAreAlerts) {
    SettingsDialog settings(nullptr);
    AboutDialog about(nullptr);
    for (QWidget* dialog : std::vector<QWidget*>{&settings, &about}) {
        QAccessibleInterface* window = Accessible(dialog);
        EXPECT_EQ(window->role(), QAccessible::Dialog);
        EXPECT_FALSE(dialog->windowTitle().isEmpty());
        EXPECT_EQ(window->text(QAccessible::Name), dialog->windowTitle());
    }
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Lumora"), QStringLiteral("Saved."));
    EXPECT_EQ(Accessible(&box)->role(), QAccessible::AlertMessage);
}

TEST_F(AccessibleWidgetsTest, TabReachesEveryControlOfTheMainWindowWithAVisibleFocus) {
    MainFrame& frame = MakeFrame();
    ControlBar& bar = *frame.findChild<ControlBar*>();
    bar.positionBar()->show();
    frame.show();
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    bar.playButton()->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(bar.playButton()->hasFocus());
    EXPECT_EQ(bar.playButton()->currentState(), ImageState::Focused);
    const std::vector<QWidget*> order = {bar.fullScreenButton(), bar.volumeSlider(),
                                         bar.positionBar()};
    for (QWidget* next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }
    EXPECT_EQ(bar.fullScreenButton()->currentState(), ImageState::Normal);
    // Around to the player view and on to the play button again.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    for (int i = 0; i < 4 && QApplication::focusWidget() != bar.playButton(); ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), bar.playButton());
    // The control's own keys stay its own: Space presses the button.
    QSignalSpy played(&bar, &ControlBar::playClicked);
    QTest::keyClick(bar.playButton(), Qt::Key_Space);
    EXPECT_EQ(played.count(), 1);
}

// The controls of a window that Tab should reach: in view, enabled, taking
// the keyboard from Tab.
std::vector<QWidget*> TabControls(QWidget& window) {
    std::vector<QWidget*> controls;
    for (QWidget* child : window.findChildren<QWidget*>())
        if (child->isVisible() && child->isEnabled() && (child->focusPolicy() & Qt::TabFocus) &&
            child->focusProxy() == nullptr)
            controls.push_back(child);
    return controls;
}

// Named itself, or by a label (a chooser's name is its value on Linux).
bool Named(QWidget* control) {
    QAccessibleInterface* iface = Accessible(control);
    return iface != nullptr &&
           (!iface->relations(QAccessible::Label).isEmpty() ||
            (iface->role() != QAccessible::ComboBox && !iface->text(QAccessible::Name).isEmpty()));
}

TEST_F(AccessibleWidgetsTest, TabReachesEveryControlOfEachDialogNamedAndWithAVisibleFocus) {
    app_.LoadCatalogue(cataloguePath_.toStdU16String());
    ASSERT_NE(TheCatalogue(), nullptr);
    RecordingControl recordings(folders_.UserFolder() + QStringLiteral("/Recordings.lmrc"));
    ZapOrder zapOrder;
    ProgrammeDetails details;
    details.summary = {1, ProgrammeGuide::Now() - 60, ProgrammeGuide::Now() + 60, "News"};
    details.description = std::string(2000, 'x');  // long enough to scroll
    struct Case {
        const char* name;
        std::function<std::unique_ptr<QDialog>()> make;
    };
    const std::vector<Case> cases = {
        {"settings", [] { return std::make_unique<SettingsDialog>(nullptr); }},
        {"first run", [] { return std::make_unique<FirstRunDialog>(nullptr); }},
        {"about", [] { return std::make_unique<AboutDialog>(nullptr); }},
        {"update", [] { return std::make_unique<UpdateDialog>(nullptr, nullptr); }},
        {"channel list",
         [&zapOrder] { return std::make_unique<ChannelListDialog>(nullptr, zapOrder); }},
        {"guide grid",
         [] {
             return std::make_unique<GuideGridDialog>(
                 nullptr, std::vector<Channel*>{TheCatalogue()->FindChannel("fr_two")}, nullptr);
         }},
        {"recordings",
         [&recordings] { return std::make_unique<RecordingsDialog>(nullptr, recordings); }},
        {"programme page",
         [&details] {
             return std::make_unique<ProgrammeDetailsDialog>(
                 nullptr, *TheCatalogue()->FindChannel("de_one"), details, false);
         }},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        std::unique_ptr<QDialog> dialog = row.make();
        dialog->show();
        dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        EXPECT_FALSE(Accessible(dialog.get())->text(QAccessible::Name).isEmpty());
        const std::vector<QWidget*> controls = TabControls(*dialog);
        // Tab, then Shift+Tab, each all the way round.
        std::set<QWidget*> forward, backward;
        for (std::size_t i = 0; i <= controls.size(); ++i) {
            if (QWidget* focused = QApplication::focusWidget()) {
                forward.insert(focused);
                QTest::keyClick(focused, Qt::Key_Tab);
            }
        }
        for (std::size_t i = 0; i <= controls.size(); ++i) {
            if (QWidget* focused = QApplication::focusWidget()) {
                backward.insert(focused);
                QTest::keyClick(focused, Qt::Key_Backtab);
            }
        }
        for (QWidget* control : controls) {
            const std::string name =
                control->metaObject()->className() + (" " + control->objectName().toStdString());
            EXPECT_TRUE(forward.count(control) && backward.count(control)) << name;
            EXPECT_TRUE(Named(control)) << name;
            // The focus shows: the control looks different with it.
            control->setFocus(Qt::TabFocusReason);
            const QImage focused = control->grab().toImage();
            control->clearFocus();
            EXPECT_NE(focused, control->grab().toImage()) << name;
        }
        dialog->hide();
    }
}

// At 200 % the interface keeps its logical sizes on a screen half as large
// in logical pixels: 480 x 800 and 1280 x 720 become 240 x 400 and
// 640 x 360. The main window's and the channel list's texts fit there.
TEST_F(AccessibleWidgetsTest, AtTwiceTheScaleTheTextsFitTheirPlaces) {
    app_.LoadCatalogue(cataloguePath_.toStdU16String());
    ASSERT_NE(TheCatalogue(), nullptr);
    ASSERT_TRUE(BoldFont().has_value());
    const QFontMetrics bold(*BoldFont());
    const QFontMetrics small(*SmallBoldFont());
    auto keysFit = [&bold](SoftKeyBar& keys) {
        for (SoftKey key : {SoftKey::Left, SoftKey::Right}) {
            EXPECT_LE(bold.horizontalAdvance(keys.KeyText(key)), keys.KeyRect(key).width())
                << keys.KeyText(key).toStdString();
            EXPECT_GE(keys.KeyRect(key).height(), bold.height());
        }
    };
    for (const QSize size : {QSize(240, 400), QSize(640, 360)}) {
        SCOPED_TRACE(size.width());
        MainFrame& frame = MakeFrame();
        frame.resize(size);
        frame.show();
        keysFit(frame.SoftKeys());
        ChannelTitleBar& title = *frame.findChild<ChannelTitleBar*>();
        // Each of the strip's two lines holds its glyphs (leading aside).
        EXPECT_GE(title.height() / 2, small.ascent() + small.descent() - 1);

        ZapOrder zapOrder;
        ChannelListDialog list(nullptr, zapOrder);
        list.resize(size);
        list.show();
        keysFit(*list.SoftKeys());
        EXPECT_GE(ChannelRowDelegate::RowHeight(), bold.height() + small.height());
        for (QComboBox* chooser : {list.CountryChooser(), list.CategoryChooser()}) {
            // The chooser keeps the bar's height; its text fits inside.
            EXPECT_GE(chooser->height(), chooser->fontMetrics().height());
            EXPECT_LE(chooser->geometry().right(), size.width());
        }
        for (QLabel* label : list.findChildren<QLabel*>()) {
            if (label->isVisible()) {
                EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width())
                    << label->text().toStdString();
            }
        }
        frame_.reset();
    }
}

}  // namespace
}  // namespace lumora
