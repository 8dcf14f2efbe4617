// The owner-drawn bars of the playing screen: the control bar with its image
// buttons and volume slider, and the channel title bar.

#include <QApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "process_state.h"
#include "resources/resources.h"
#include "shell/main_window/channel_title_bar.h"
#include "shell/main_window/control_bar.h"
#include "shell/widgets/image_button.h"
#include "shell/widgets/volume_slider.h"

namespace lumora {
namespace {

// One application object for the whole run; other test files of this
// executable may have made it already.
class WidgetEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (QCoreApplication::instance() != nullptr)
            return;
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "bars_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override {
        ReleaseInterfaceResources();
        app_.reset();
    }

private:
    std::unique_ptr<QApplication> app_;
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new WidgetEnvironment);

void SaveScreenshot(QWidget& widget, const QString& name, int scale = 1) {
    const QString dir = QStringLiteral(LUMORA_BUILD_DIR "/screenshots");
    QDir().mkpath(dir);
    QImage image = widget.grab().toImage();
    if (scale > 1)
        image = image.scaled(image.size() * scale);
    image.save(dir + "/" + name + ".png");
}

// Gives the widget the keyboard focus in an active window.
bool Focus(QWidget& widget) {
    QWidget* window = widget.window();
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window))
        return false;
    widget.setFocus(Qt::OtherFocusReason);
    return widget.hasFocus();
}

QImage Grab(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB888);
}

// The images of a set are told apart by the pixel in the middle of the
// upper half: colour A of the set's normal, focused or pressed image.
QRgb UpperColour(const QImage& image) {
    return image.pixel(image.width() / 2, image.height() / 3) | 0xff000000u;
}

class BarsTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ResetProcessState();
        Load(96);
    }
    void TearDown() override {
        ReleaseInterfaceResources();
        test::ResetProcessState();
    }
    static void Load(int dpi) {
        LoadInterfaceResources(u"/nonexistent/Resources.velt", u"/nonexistent/cbuild.velt", dpi);
    }
};

TEST_F(BarsTest, ControlBarLayoutFollowsTheBarHeight) {
    struct Row {
        int dpi;
        QRect play, fullScreen, slider;
    };
    // B = 24: S = 20, T = 2; B = 48: S = 40, T = 4.
    for (const Row& row : {Row{96, {12, 2, 20, 20}, {44, 2, 20, 20}, {76, 2, 72, 20}},
                           Row{192, {24, 4, 40, 40}, {88, 4, 40, 40}, {152, 4, 144, 40}}}) {
        SCOPED_TRACE(row.dpi);
        Load(row.dpi);
        ControlBar bar;
        bar.resize(320, BarHeight());
        bar.show();
        EXPECT_EQ(bar.playButton()->geometry(), row.play);
        EXPECT_EQ(bar.fullScreenButton()->geometry(), row.fullScreen);
        EXPECT_EQ(bar.volumeSlider()->geometry(), row.slider);
        EXPECT_EQ(bar.sizeHint().height(), BarHeight());

        // The buttons show their images unscaled at their top-left corner,
        // on the bar background; the bar's frame runs along its edges.
        const QImage shot = Grab(bar);
        const QImage& play = PlayImages()[0];
        for (QPoint p : {QPoint(5, 5), QPoint(0, 0), QPoint(play.width() / 2, play.height() / 3)})
            EXPECT_EQ(shot.pixel(row.play.topLeft() + p), play.pixel(p) | 0xff000000u)
                << p.x() << "," << p.y();
        EXPECT_EQ(shot.pixel(0, 0) | 0xff000000u, qRgb(195, 170, 69));
        EXPECT_EQ(shot.pixel(200, BarHeight() - 1) | 0xff000000u, qRgb(195, 170, 69));
        EXPECT_EQ(shot.pixel(319, BarHeight() / 2) | 0xff000000u, qRgb(195, 170, 69));
        EXPECT_EQ(shot.pixel(250, BarHeight() / 4),
                  BarBitmap().pixel(5, BarHeight() / 4) | 0xff000000u);
        SaveScreenshot(bar, QStringLiteral("bars_control_bar_%1dpi").arg(row.dpi), 3);
    }
}

TEST_F(BarsTest, PlayingStateSwitchesThePlayButtonAndTheClickSignal) {
    ControlBar bar;
    bar.resize(320, BarHeight());
    bar.show();
    QSignalSpy play(&bar, &ControlBar::playClicked);
    QSignalSpy stop(&bar, &ControlBar::stopClicked);
    QSignalSpy fullScreen(&bar, &ControlBar::fullScreenClicked);

    EXPECT_FALSE(bar.isPlaying());
    EXPECT_EQ(bar.playButton()->images()[0], PlayImages()[0]);
    QTest::mouseClick(bar.playButton(), Qt::LeftButton);
    EXPECT_EQ(play.count(), 1);
    EXPECT_EQ(stop.count(), 0);
    // The click alone changes nothing: the view decides whether anything plays.
    EXPECT_FALSE(bar.isPlaying());

    bar.setPlaying(true);
    EXPECT_TRUE(bar.isPlaying());
    EXPECT_EQ(bar.playButton()->images()[0], StopImages()[0]);
    bar.playButton()->clearFocus();
    EXPECT_EQ(UpperColour(Grab(*bar.playButton())), UpperColour(StopImages()[0]));
    SaveScreenshot(bar, QStringLiteral("bars_control_bar_playing"), 3);
    QTest::mouseClick(bar.playButton(), Qt::LeftButton);
    EXPECT_EQ(stop.count(), 1);
    EXPECT_EQ(play.count(), 1);

    bar.setPlaying(true);  // already playing: nothing changes
    EXPECT_EQ(bar.playButton()->images()[0], StopImages()[0]);
    bar.setPlaying(false);
    EXPECT_EQ(bar.playButton()->images()[0], PlayImages()[0]);

    QTest::mouseClick(bar.fullScreenButton(), Qt::LeftButton);
    EXPECT_EQ(fullScreen.count(), 1);
    EXPECT_EQ(play.count(), 1);
}

TEST_F(BarsTest, ImageButtonShowsPressedThenFocusedThenNormal) {
    ImageButton button;
    button.setImages(PlayImages());
    button.resize(ButtonImageSize(), ButtonImageSize());
    button.show();
    EXPECT_EQ(button.currentState(), ImageState::Normal);
    EXPECT_EQ(UpperColour(Grab(button)), UpperColour(PlayImages()[0]));

    ASSERT_TRUE(Focus(button));
    EXPECT_EQ(button.currentState(), ImageState::Focused);
    EXPECT_EQ(UpperColour(Grab(button)), UpperColour(PlayImages()[1]));
    button.setDown(true);
    EXPECT_EQ(button.currentState(), ImageState::Pressed);
    EXPECT_EQ(UpperColour(Grab(button)), UpperColour(PlayImages()[2]));
    button.setDown(false);
}

TEST_F(BarsTest, VolumeStartsFromTheSettingAndSetVolumeIsSilent) {
    ControlBar fresh;
    EXPECT_EQ(fresh.volume(), 50);
    EXPECT_EQ(GetIntSetting(kSoundVolume, -1), 50);

    SetIntSetting(kSoundVolume, 35);
    ControlBar bar;
    EXPECT_EQ(bar.volume(), 35);
    EXPECT_EQ(bar.volumeSlider()->minimum(), 0);
    EXPECT_EQ(bar.volumeSlider()->maximum(), 100);
    QSignalSpy changed(&bar, &ControlBar::volumeChanged);
    bar.setVolume(80);
    bar.setVolume(250);  // out of range: clamped
    EXPECT_EQ(bar.volume(), 100);
    bar.setVolume(-3);
    EXPECT_EQ(bar.volume(), 0);
    EXPECT_EQ(changed.count(), 0);

    SetIntSetting(kSoundVolume, 1000);  // a damaged settings file
    ControlBar clamped;
    EXPECT_EQ(clamped.volume(), 100);
}

TEST_F(BarsTest, VolumeKeysMoveByLineAndPageAndEmit) {
    ControlBar bar;
    bar.resize(320, BarHeight());
    bar.show();
    bar.setVolume(50);
    QSignalSpy changed(&bar, &ControlBar::volumeChanged);
    VolumeSlider* slider = bar.volumeSlider();

    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(bar.volume(), 55);
    QTest::keyClick(slider, Qt::Key_Left);
    QTest::keyClick(slider, Qt::Key_Left);
    EXPECT_EQ(bar.volume(), 45);
    QTest::keyClick(slider, Qt::Key_PageUp);
    EXPECT_EQ(bar.volume(), 65);
    QTest::keyClick(slider, Qt::Key_End);
    EXPECT_EQ(bar.volume(), 100);
    QTest::keyClick(slider, Qt::Key_Right);  // at the end: no change, no signal
    EXPECT_EQ(bar.volume(), 100);
    QTest::keyClick(slider, Qt::Key_Home);
    EXPECT_EQ(bar.volume(), 0);

    ASSERT_EQ(changed.count(), 6);
    const int expected[] = {55, 50, 45, 65, 100, 0};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(changed.at(i).at(0).toInt(), expected[i]);
}

TEST_F(BarsTest, VolumeSliderDragsTheThumbAndPagesOnTrackClicks) {
    ControlBar bar;
    bar.resize(320, BarHeight());
    bar.show();
    bar.setVolume(0);
    VolumeSlider* slider = bar.volumeSlider();  // 72 x 20, thumb 6 wide: 66 pixels of travel
    QSignalSpy changed(&bar, &ControlBar::volumeChanged);
    EXPECT_EQ(slider->thumbRect(), QRect(0, 0, 6, 20));

    // Drag the thumb by its middle to the middle of the track.
    const QPoint grip(3, 10);
    QTest::mousePress(slider, Qt::LeftButton, {}, grip);
    QTest::mouseMove(slider, grip + QPoint(33, 0));
    EXPECT_EQ(bar.volume(), 50);
    QTest::mouseMove(slider, grip + QPoint(500, 0));  // beyond the end
    EXPECT_EQ(bar.volume(), 100);
    QTest::mouseMove(slider, grip + QPoint(-500, 0));
    EXPECT_EQ(bar.volume(), 0);
    QTest::mouseMove(slider, grip + QPoint(66, 0));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, grip + QPoint(66, 0));
    EXPECT_EQ(bar.volume(), 100);
    EXPECT_EQ(slider->thumbRect(), QRect(66, 0, 6, 20));
    ASSERT_GE(changed.count(), 3);
    EXPECT_EQ(changed.last().at(0).toInt(), 100);

    // A press on the track left of the thumb moves one page towards it.
    changed.clear();
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(bar.volume(), 80);
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(70, 10));  // right of the thumb at 52
    EXPECT_EQ(bar.volume(), 100);
    EXPECT_EQ(changed.count(), 2);

    // A thumb dragged to any pixel of its travel is drawn at that pixel.
    for (int left = 0; left <= 66; ++left) {
        slider->setValue(slider->valueForThumbLeft(left));
        EXPECT_EQ(slider->thumbRect().left(), left);
    }
}

TEST_F(BarsTest, VolumeSliderPaintsTrackAndThumb) {
    ControlBar bar;
    bar.resize(320, BarHeight());
    bar.show();
    bar.setVolume(50);
    VolumeSlider* slider = bar.volumeSlider();
    slider->clearFocus();
    const QImage shot = Grab(*slider);
    SaveScreenshot(*slider, QStringLiteral("bars_volume_slider_96"), 4);
    // The track line (rows 9..11) runs from column 9 to width - 10.
    const QRect thumb = slider->thumbRect();  // left 33
    EXPECT_EQ(shot.pixel(9, 9) | 0xff000000u, qRgb(200, 200, 255));
    EXPECT_EQ(shot.pixel(20, 10) | 0xff000000u, qRgb(150, 150, 200));
    EXPECT_EQ(shot.pixel(62, 11) | 0xff000000u, qRgb(150, 150, 200));
    EXPECT_NE(shot.pixel(8, 10) | 0xff000000u, qRgb(150, 150, 200));
    EXPECT_NE(shot.pixel(63, 10) | 0xff000000u, qRgb(150, 150, 200));
    // The normal thumb, 6 x 12, centred vertically: rows 4..15.
    const QImage& normal = ThumbImages()[0];
    for (int y = 0; y < normal.height(); ++y)
        for (int x = 0; x < normal.width(); ++x)
            ASSERT_EQ(shot.pixel(thumb.left() + x, 4 + y) | 0xff000000u,
                      normal.pixel(x, y) | 0xff000000u)
                << x << "," << y;

    ASSERT_TRUE(Focus(*slider));
    const QImage focused = Grab(*slider);
    EXPECT_EQ(focused.pixel(thumb.left() + 2, 6) | 0xff000000u,
              ThumbImages()[1].pixel(2, 2) | 0xff000000u);
}

TEST_F(BarsTest, TitleBarPaintsNameAndStatusOnTheirLines) {
    for (int dpi : {96, 192}) {
        SCOPED_TRACE(dpi);
        Load(dpi);
        ChannelTitleBar bar;
        bar.resize(240 * dpi / 96, BarHeight());
        bar.show();
        const QImage empty = Grab(bar);
        // Without texts the bar is its background alone.
        EXPECT_EQ(empty.pixel(100, BarHeight() / 4),
                  BarBitmap().pixel(5, BarHeight() / 4) | 0xff000000u);

        bar.setChannelName(QStringLiteral("Lumora Test Channel"));
        bar.setStatus(QStringLiteral("Buffering 40%"));
        const QImage shot = Grab(bar);
        SaveScreenshot(bar, QStringLiteral("bars_title_bar_%1dpi").arg(dpi), 2);

        // Text pixels: the name's near-white only in the upper half, the
        // status's grey only in the lower half, both right of the inset.
        const int b = BarHeight();
        auto count = [&](int top, int bottom, auto&& test) {
            int n = 0;
            for (int y = top; y < bottom; ++y)
                for (int x = 0; x < shot.width(); ++x)
                    n += test(QColor(shot.pixel(x, y))) ? 1 : 0;
            return n;
        };
        auto nameLike = [](QColor c) { return c.red() > 235 && c.blue() > 240; };
        // Grey, lighter than the bar and not the frame's gold.
        auto statusLike = [](QColor c) {
            return c.red() > 100 && c.red() <= 215 && std::abs(c.red() - c.green()) < 12 &&
                   c.blue() >= c.red();
        };
        EXPECT_GT(count(0, b / 2, nameLike), 10);
        EXPECT_EQ(count(b / 2, b, nameLike), 0);
        EXPECT_GT(count(b / 2, b, statusLike), 10);
        for (int y = 0; y < b; ++y)
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(shot.pixel(x, y), empty.pixel(x, y));

        // A note takes the right end of the status line; the status keeps
        // its left end.
        bar.setNote(QStringLiteral("Updating the guide\u2026 12 MB"));
        const QImage noted = Grab(bar);
        SaveScreenshot(bar, QStringLiteral("bars_title_bar_note_%1dpi").arg(dpi), 2);
        auto columnHasStatus = [&](const QImage& image, int x) {
            for (int y = b / 2; y < b; ++y)
                if (statusLike(QColor(image.pixel(x, y))))
                    return true;
            return false;
        };
        const int right = noted.width() - 3 - 10;
        bool noteInk = false;
        for (int x = right; x < noted.width() - 3; ++x)
            noteInk = noteInk || columnHasStatus(noted, x);
        EXPECT_TRUE(noteInk);
        EXPECT_EQ(noted.copy(0, b / 2, 20, b - b / 2), shot.copy(0, b / 2, 20, b - b / 2));
        bar.setNote(QString());

        // No current channel: the upper line is empty again.
        bar.setChannelName(QString());
        const QImage cleared = Grab(bar);
        for (int x = 0; x < cleared.width(); ++x)
            ASSERT_EQ(cleared.pixel(x, b / 4), empty.pixel(x, b / 4)) << x;
    }
}

}  // namespace
}  // namespace lumora
