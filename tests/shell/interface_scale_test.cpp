// The playing screen on scaled screens (QT_SCALE_FACTOR 1, 1.5 and 2): the
// bars are, pixel for pixel, the bars drawn for 96, 144 and 192 DPI on an
// unscaled screen, and the player's picture fills its frame. Each picture
// comes from the interface_shots helper, run once per scale and once per DPI.

#include <map>
#include <memory>
#include <ostream>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "shell_test_support.h"

namespace lumora {
namespace {

struct Scale {
    const char* factor;  // QT_SCALE_FACTOR
    qreal ratio;
    int dpi;  // the DPI of the screen's real pixels
};
void PrintTo(const Scale& scale, std::ostream* out) {
    *out << "scale " << scale.factor;
}

constexpr Scale kScales[] = {{"1", 1.0, 96}, {"1.5", 1.5, 144}, {"2", 2.0, 192}};
// The view in logical pixels.
constexpr int kViewWidth = 360;
constexpr int kViewHeight = 400;
constexpr int kShotsTimeoutMs = 120000;

constexpr QRgb kFrameColour = qRgb(195, 170, 69);
constexpr QRgb kBackgroundColour = qRgb(61, 68, 86);

// A fontconfig setup with the machine's fonts and slight hinting for all
// of them: the interface hints its text that way on a scaled screen, and
// an unscaled screen follows fontconfig, so the two kinds of pictures only
// compare equal when fontconfig says the same whatever the machine's own
// settings.
QString FontConfigFile() {
    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("fonts.conf"));
    QFile file(path);
    if (!file.exists() && file.open(QIODevice::WriteOnly))
        file.write(R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
  <match target="font">
    <edit name="hinting" mode="assign"><bool>true</bool></edit>
    <edit name="hintstyle" mode="assign"><const>hintslight</const></edit>
  </match>
</fontconfig>
)");
    return path;
}

// Runs the helper into a fresh folder: the screen scaled by `factor`, the
// DPI taken from the screen (dpi 0) or given.
std::unique_ptr<QTemporaryDir> Shoot(const char* factor, QSize size, int dpi) {
    auto folder = std::make_unique<QTemporaryDir>();
    QProcess helper;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::fromLatin1(factor));
    environment.insert(QStringLiteral("FONTCONFIG_FILE"), FontConfigFile());
    helper.setProcessEnvironment(environment);
    helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList arguments{folder->path(), QString::number(size.width()),
                          QString::number(size.height())};
    if (dpi > 0)
        arguments << QString::number(dpi);
    helper.start(QStringLiteral(LUMORA_INTERFACE_SHOTS), arguments);
    const bool ran = helper.waitForFinished(kShotsTimeoutMs) &&
                     helper.exitStatus() == QProcess::NormalExit && helper.exitCode() == 0;
    EXPECT_TRUE(ran) << "interface_shots at scale " << factor << ", dpi " << dpi;
    return ran ? std::move(folder) : nullptr;
}

// The pictures of one scale, made once for all tests: on the scaled
// screen, and for the matching DPI on an unscaled one.
struct Shots {
    std::unique_ptr<QTemporaryDir> scaled;
    std::unique_ptr<QTemporaryDir> reference;
};

const Shots& ShotsFor(const Scale& scale) {
    static std::map<int, Shots> made;
    auto [entry, isNew] = made.try_emplace(scale.dpi);
    if (isNew) {
        const QSize view(kViewWidth, kViewHeight);
        entry->second.scaled = Shoot(scale.factor, view, 0);
        entry->second.reference = Shoot("1", (QSizeF(view) * scale.ratio).toSize(), scale.dpi);
    }
    return entry->second;
}

QImage Picture(const std::unique_ptr<QTemporaryDir>& folder, const char* name) {
    if (!folder)
        return {};
    return QImage(folder->filePath(QLatin1String(name))).convertToFormat(QImage::Format_RGB32);
}

::testing::AssertionResult SamePixels(const QImage& actual, const QImage& expected) {
    if (actual.isNull() || actual.size() != expected.size())
        return ::testing::AssertionFailure()
               << "sizes " << actual.width() << "x" << actual.height() << " and "
               << expected.width() << "x" << expected.height();
    for (int y = 0; y < actual.height(); ++y)
        for (int x = 0; x < actual.width(); ++x)
            if (actual.pixel(x, y) != expected.pixel(x, y))
                return ::testing::AssertionFailure() << "first difference at " << x << "," << y;
    return ::testing::AssertionSuccess();
}

// The smallest rectangle holding every pixel of `colour` in rows
// top..bottom-1.
QRect BoundsOf(const QImage& image, QRgb colour, int top, int bottom) {
    QRect bounds;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) | 0xff000000u) == colour)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

class InterfaceScaleTest : public ::testing::TestWithParam<Scale> {};

TEST_P(InterfaceScaleTest, BarsAreTheDrawingForTheRealDpi) {
    const Shots& shots = ShotsFor(GetParam());
    for (const char* bar : {"control_bar.png", "title_bar.png"}) {
        SCOPED_TRACE(bar);
        EXPECT_TRUE(SamePixels(Picture(shots.scaled, bar), Picture(shots.reference, bar)));
    }
}

TEST_P(InterfaceScaleTest, PictureFillsItsOnePixelFrame) {
    const Scale& scale = GetParam();
    const QImage view = Picture(ShotsFor(scale).scaled, "player_view.png");
    if (view.isNull())
        GTEST_SKIP() << "the player showed no picture here (no libmpv?)";
    ASSERT_EQ(view.size(), (QSizeF(kViewWidth, kViewHeight) * scale.ratio).toSize());
    // Between the bars, whose own bitmaps have frames, the only frame
    // colour is the player's frame.
    const int bar = (scale.dpi * 24 + 48) / 96;
    const QRect frame = BoundsOf(view, kFrameColour, bar, view.height() - bar);
    ASSERT_FALSE(frame.isEmpty());
    int frameGaps = 0;
    int foreignInside = 0;
    for (int y = frame.top(); y <= frame.bottom(); ++y)
        for (int x = frame.left(); x <= frame.right(); ++x) {
            const QRgb pixel = view.pixel(x, y) | 0xff000000u;
            const bool onFrame =
                x == frame.left() || x == frame.right() || y == frame.top() || y == frame.bottom();
            if (onFrame)
                frameGaps += pixel != kFrameColour ? 1 : 0;
            else
                foreignInside += pixel == kFrameColour || pixel == kBackgroundColour ? 1 : 0;
        }
    EXPECT_EQ(frameGaps, 0) << "frame pixels of another colour";
    EXPECT_EQ(foreignInside, 0) << "frame or background pixels inside the frame";
    // The test card is green.
    const QColor middle(view.pixel(frame.center()));
    EXPECT_GT(middle.green(), middle.red() + 40);
    EXPECT_GT(middle.green(), middle.blue() + 40);
    const QString screenshots = test::BuildDir() + QStringLiteral("/screenshots");
    QDir().mkpath(screenshots);
    view.save(screenshots +
              QStringLiteral("/scale_%1_player_view.png").arg(QString::fromLatin1(scale.factor)));
}

INSTANTIATE_TEST_SUITE_P(Scales, InterfaceScaleTest, ::testing::ValuesIn(kScales),
                         [](const ::testing::TestParamInfo<Scale>& info) {
                             return "Dpi" + std::to_string(info.param.dpi);
                         });

}  // namespace
}  // namespace lumora
