// The interface resources, pixel for pixel, and the pictures of the data files.

#include <vector>

#include <QBuffer>
#include <QDir>
#include <QGuiApplication>
#include <QPainter>

#include <gtest/gtest.h>

#include "catalogue/catalogue.h"
#include "document/doc_node.h"
#include "resources/resources.h"
#include "scratch_folder_qt.h"

namespace lumora {
namespace {

// Widgets and fonts need an application object; one for the whole run.
class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "resources_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QGuiApplication>(argc, argv);
    }
    void TearDown() override {
        ReleaseInterfaceResources();
        app_.reset();
    }

private:
    std::unique_ptr<QGuiApplication> app_;
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

const QRgb kFrame = qRgb(195, 170, 69);
const QRgb kTrackUpper = qRgb(200, 200, 255);
const QRgb kTrackLower = qRgb(150, 150, 200);
// Colours A, B, C of the normal, focused and pressed images.
const QRgb kUpper[3] = {qRgb(200, 200, 255), qRgb(220, 220, 255), qRgb(180, 180, 230)};
const QRgb kLower[3] = {qRgb(150, 150, 200), qRgb(170, 170, 220), qRgb(130, 130, 170)};
const QRgb kOutline[3] = {qRgb(100, 100, 120), qRgb(110, 110, 130), qRgb(90, 90, 100)};

std::string Rgb(QRgb c) {
    return "(" + std::to_string(qRed(c)) + "," + std::to_string(qGreen(c)) + "," +
           std::to_string(qBlue(c)) + ")";
}

// Compares one pixel and names it in the failure.
::testing::AssertionResult PixelIs(const QImage& image, int x, int y, QRgb expected) {
    if (!image.valid(x, y))
        return ::testing::AssertionFailure()
               << "(" << x << "," << y << ") outside " << image.width() << "x" << image.height();
    const QRgb actual = image.pixel(x, y) | 0xff000000u;
    if (actual == (expected | 0xff000000u))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << x << "," << y << ") is " << Rgb(actual)
                                         << ", expected " << Rgb(expected);
}

// The bar background at the height where an S x S image sits in a bar.
QRgb BackgroundAt(int imageRow) {
    const int offset = (BarHeight() - ButtonImageSize()) / 2;
    return BarBitmap().pixel(1, offset + imageRow);
}

void SaveScreenshot(const QImage& image, const QString& name) {
    const QString dir = QStringLiteral(LUMORA_BUILD_DIR "/screenshots");
    QDir().mkpath(dir);
    image.scaled(image.width() * 8, image.height() * 8).save(dir + "/" + name + ".png");
}

QByteArray PngBytes(int width, int height, QColor colour) {
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

MemoryStream Blob(const QByteArray& bytes) {
    MemoryStream stream;
    stream.Write(bytes.constData(), static_cast<std::uint32_t>(bytes.size()));
    return stream;
}

std::u16string Path(const test::ScratchFolder& dir, const char* name) {
    return dir.File(name);
}

class ResourcesTest : public ::testing::Test {
protected:
    void TearDown() override { ReleaseInterfaceResources(); }

    void LoadAt(int dpi) {
        LoadInterfaceResources(Path(dir_, "Resources.velt"), Path(dir_, "cbuild.velt"), dpi);
    }

    void WriteResources(const std::function<void(DocNode& images)>& fill) {
        DocNode root("resources");
        fill(*root.AddChild("images"));
        ASSERT_TRUE(root.SaveToFile(Path(dir_, "Resources.velt")));
    }

    void WriteSplash(const QByteArray& png) {
        DocNode root("splash");
        root.AddAttribute("image")->SetBlob(Blob(png));
        ASSERT_TRUE(root.SaveToFile(Path(dir_, "cbuild.velt")));
    }

    test::ScratchFolder dir_;
};

TEST_F(ResourcesTest, SizesFollowTheBarHeight) {
    struct Row {
        int dpi, barHeight, margin, imageSize, thumbWidth, thumbHeight;
    };
    for (const Row& row :
         {Row{96, 24, 3, 20, 6, 12}, Row{192, 48, 6, 40, 12, 24}, Row{98, 25, 3, 20, 6, 12},
          Row{0, 24, 3, 20, 6, 12}, Row{-5, 24, 3, 20, 6, 12}}) {
        SCOPED_TRACE(row.dpi);
        LoadAt(row.dpi);
        EXPECT_EQ(BarHeight(), row.barHeight);
        EXPECT_EQ(BarMargin(), row.margin);
        EXPECT_EQ(ButtonImageSize(), row.imageSize);
        EXPECT_EQ(BarBitmap().size(), QSize(10, row.barHeight));
        EXPECT_EQ(TrackBitmap().size(), QSize(row.imageSize, row.imageSize));
        for (const ImageSet* set : {&PlayImages(), &StopImages(), &FullScreenImages()}) {
            for (const QImage& image : *set) {
                EXPECT_EQ(image.size(), QSize(row.imageSize, row.imageSize));
                EXPECT_EQ(image.format(), QImage::Format_RGB888);
            }
        }
        for (const QImage& image : ThumbImages())
            EXPECT_EQ(image.size(), QSize(row.thumbWidth, row.thumbHeight));
    }
}

// Every drawn bitmap, in a fixed order, with its ratio taken off.
std::vector<QImage> DrawnBitmaps() {
    std::vector<QImage> bitmaps{BarBitmap(), TrackBitmap()};
    for (const ImageSet* set : {&PlayImages(), &StopImages(), &FullScreenImages(), &ThumbImages()})
        bitmaps.insert(bitmaps.end(), set->begin(), set->end());
    for (QImage& bitmap : bitmaps)
        bitmap.setDevicePixelRatio(1.0);
    return bitmaps;
}

TEST_F(ResourcesTest, ScaledScreenGetsTheDrawingOfItsRealDpi) {
    struct Row {
        qreal ratio;
        int realDpi;
    };
    for (const Row& row : {Row{1.25, 120}, Row{1.5, 144}, Row{2.0, 192}, Row{3.0, 288}}) {
        SCOPED_TRACE(row.realDpi);
        LoadAt(row.realDpi);
        const std::vector<QImage> expected = DrawnBitmaps();
        const int barHeight = BarHeight();
        const int boldPixels = BoldFont()->pixelSize();
        const int smallPixels = SmallFont()->pixelSize();

        LoadInterfaceResources(Path(dir_, "Resources.velt"), Path(dir_, "cbuild.velt"), 96,
                               row.ratio);
        EXPECT_EQ(BarBitmap().devicePixelRatio(), row.ratio);
        EXPECT_EQ(ThumbImages()[2].devicePixelRatio(), row.ratio);
        EXPECT_EQ(DrawnBitmaps(), expected);
        EXPECT_EQ(BarHeight(Pixels::Device), barHeight);
        // The layouts of the shell stay at the unscaled sizes.
        EXPECT_EQ(BarHeight(), 24);
        EXPECT_EQ(ButtonImageSize(), 20);
        EXPECT_EQ(BoldFont(Pixels::Device)->pixelSize(), boldPixels);
        EXPECT_EQ(SmallFont(Pixels::Device)->pixelSize(), smallPixels);
    }
}

TEST_F(ResourcesTest, BarBackgroundOnAScaledPictureIsTheOneOfTheRealDpi) {
    LoadAt(192);
    QImage expected = DeviceBuffer(QSize(70, 48));
    {
        QPainter painter(&expected);
        DrawBarBackground(painter, expected.rect());
    }
    LoadInterfaceResources(Path(dir_, "Resources.velt"), Path(dir_, "cbuild.velt"), 96, 2.0);
    QImage scaled(70, 48, QImage::Format_RGB888);
    scaled.setDevicePixelRatio(2.0);
    {
        QPainter painter(&scaled);
        DrawBarBackground(painter, QRect(0, 0, 35, 24));
    }
    scaled.setDevicePixelRatio(1.0);
    EXPECT_EQ(scaled, expected);
}

TEST_F(ResourcesTest, FrameMeetsWhatItSurroundsAtFractionalScales) {
    LoadAt(96);
    struct Row {
        qreal ratio;
        QRect control;  // logical
    };
    for (const Row& row : {Row{1.0, {2, 2, 5, 4}}, Row{1.5, {1, 1, 5, 5}}, Row{1.5, {2, 3, 7, 4}},
                           Row{1.25, {3, 1, 5, 6}}, Row{2.0, {1, 2, 3, 3}}}) {
        SCOPED_TRACE(row.ratio);
        QImage image(24, 24, QImage::Format_RGB888);
        image.fill(Qt::white);
        image.setDevicePixelRatio(row.ratio);
        {
            QPainter painter(&image);
            painter.fillRect(row.control, Qt::black);
            DrawFrameAround(painter, row.control);
        }
        // The control's own pixels, found by their colour.
        QRect inner;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if ((image.pixel(x, y) | 0xff000000u) == qRgb(0, 0, 0))
                    inner |= QRect(x, y, 1, 1);
        ASSERT_FALSE(inner.isEmpty());
        const QRect outer = inner.adjusted(-1, -1, 1, 1);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const bool ring = outer.contains(x, y) && !inner.contains(x, y);
                const QRgb expected = ring                   ? kFrame
                                      : inner.contains(x, y) ? 0
                                                             : qRgb(255, 255, 255);
                ASSERT_TRUE(PixelIs(image, x, y, expected));
            }
    }
}

TEST_F(ResourcesTest, BarBitmapGradientsSplitAtHalfHeightInsideTheFrame) {
    LoadAt(96);
    const QImage& bar = BarBitmap();
    SaveScreenshot(bar, "resources_bar_96");
    for (int x = 0; x < 10; ++x) {
        EXPECT_TRUE(PixelIs(bar, x, 0, kFrame));
        EXPECT_TRUE(PixelIs(bar, x, 23, kFrame));
    }
    for (int y = 0; y < 24; ++y) {
        EXPECT_TRUE(PixelIs(bar, 0, y, kFrame));
        EXPECT_TRUE(PixelIs(bar, 9, y, kFrame));
    }
    // Upper gradient, 12 rows: row y is (top*(12-y) + bottom*y) / 12.
    EXPECT_TRUE(PixelIs(bar, 1, 1, qRgb(80, 93, 130)));
    EXPECT_TRUE(PixelIs(bar, 8, 11, qRgb(59, 64, 81)));
    // Lower gradient starts exactly at its top colour in row 12.
    EXPECT_TRUE(PixelIs(bar, 1, 12, qRgb(15, 15, 15)));
    EXPECT_TRUE(PixelIs(bar, 5, 22, qRgb(16, 19, 29)));
    // Every inner column carries the same gradient.
    for (int y = 1; y < 23; ++y)
        EXPECT_EQ(bar.pixel(1, y), bar.pixel(8, y)) << y;
}

TEST_F(ResourcesTest, OddBarHeightLeavesTheLastRowToTheFrame) {
    LoadAt(98);  // H = 25: the second gradient covers rows 12..23
    const QImage& bar = BarBitmap();
    SaveScreenshot(bar, "resources_bar_98");
    EXPECT_TRUE(PixelIs(bar, 1, 12, qRgb(15, 15, 15)));
    EXPECT_TRUE(PixelIs(bar, 1, 23, qRgb(16, 19, 30)));
    for (int x = 0; x < 10; ++x)
        EXPECT_TRUE(PixelIs(bar, x, 24, kFrame));
}

TEST_F(ResourcesTest, BarBitmapAt192Dpi) {
    LoadAt(192);
    const QImage& bar = BarBitmap();
    SaveScreenshot(bar, "resources_bar_192");
    EXPECT_TRUE(PixelIs(bar, 1, 1, qRgb(81, 94, 132)));
    EXPECT_TRUE(PixelIs(bar, 1, 24, qRgb(15, 15, 15)));
    EXPECT_TRUE(PixelIs(bar, 9, 30, kFrame));
    EXPECT_TRUE(PixelIs(bar, 4, 47, kFrame));
}

TEST(VerticalGradient, FirstRowIsTheTopColourAndRowsStepEvenly) {
    QImage image(3, 4, QImage::Format_RGB888);
    image.fill(Qt::white);
    FillVerticalGradient(image, QRect(1, 0, 1, 4), QColor(0, 100, 200), QColor(100, 0, 200));
    EXPECT_TRUE(PixelIs(image, 1, 0, qRgb(0, 100, 200)));
    EXPECT_TRUE(PixelIs(image, 1, 1, qRgb(25, 75, 200)));
    EXPECT_TRUE(PixelIs(image, 1, 2, qRgb(50, 50, 200)));
    EXPECT_TRUE(PixelIs(image, 1, 3, qRgb(75, 25, 200)));
    EXPECT_TRUE(PixelIs(image, 0, 2, qRgb(255, 255, 255)));
    EXPECT_TRUE(PixelIs(image, 2, 2, qRgb(255, 255, 255)));
}

TEST_F(ResourcesTest, PlayImageIsATriangleOnTheBarBackground) {
    LoadAt(96);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const QImage& play = PlayImages()[i];
        // Column 10: colour A in rows 5..9, B in rows 10..14; the slanted
        // outline passes rows 5 and 15.
        EXPECT_TRUE(PixelIs(play, 10, 5, kOutline[i]));
        EXPECT_TRUE(PixelIs(play, 10, 6, kUpper[i]));
        EXPECT_TRUE(PixelIs(play, 10, 9, kUpper[i]));
        EXPECT_TRUE(PixelIs(play, 10, 10, kLower[i]));
        EXPECT_TRUE(PixelIs(play, 10, 14, kLower[i]));
        EXPECT_TRUE(PixelIs(play, 10, 15, kOutline[i]));
        EXPECT_TRUE(PixelIs(play, 10, 16, BackgroundAt(16)));
        EXPECT_TRUE(PixelIs(play, 10, 4, BackgroundAt(4)));
        // The left edge is outline from row 0 to row 19.
        for (int y = 0; y < 20; ++y)
            EXPECT_TRUE(PixelIs(play, 0, y, kOutline[i]));
        // The tip: column 19 holds one outline pixel above the middle, one B pixel below.
        EXPECT_TRUE(PixelIs(play, 19, 9, kOutline[i]));
        EXPECT_TRUE(PixelIs(play, 19, 0, BackgroundAt(0)));
        EXPECT_TRUE(PixelIs(play, 19, 19, BackgroundAt(19)));
    }
    SaveScreenshot(PlayImages()[0], "resources_play_normal_96");
    SaveScreenshot(PlayImages()[2], "resources_play_pressed_96");
}

TEST_F(ResourcesTest, StopImageIsASquareFromThreeToSeventeen) {
    LoadAt(96);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const QImage& stop = StopImages()[i];
        for (int v = 3; v <= 16; ++v) {
            EXPECT_TRUE(PixelIs(stop, v, 3, kOutline[i]));
            EXPECT_TRUE(PixelIs(stop, v, 16, kOutline[i]));
            EXPECT_TRUE(PixelIs(stop, 3, v, kOutline[i]));
            EXPECT_TRUE(PixelIs(stop, 16, v, kOutline[i]));
        }
        EXPECT_TRUE(PixelIs(stop, 10, 4, kUpper[i]));
        EXPECT_TRUE(PixelIs(stop, 10, 9, kUpper[i]));
        EXPECT_TRUE(PixelIs(stop, 10, 10, kLower[i]));
        EXPECT_TRUE(PixelIs(stop, 10, 15, kLower[i]));
        EXPECT_TRUE(PixelIs(stop, 2, 10, BackgroundAt(10)));
        EXPECT_TRUE(PixelIs(stop, 17, 10, BackgroundAt(10)));
        EXPECT_TRUE(PixelIs(stop, 10, 17, BackgroundAt(17)));
        EXPECT_TRUE(PixelIs(stop, 10, 2, BackgroundAt(2)));
    }
    SaveScreenshot(StopImages()[0], "resources_stop_normal_96");
}

TEST_F(ResourcesTest, FullScreenImageIsARingWithTheBackgroundInside) {
    LoadAt(96);  // L = 3, R = 17, M = 6, D = 14
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const QImage& ring = FullScreenImages()[i];
        EXPECT_TRUE(PixelIs(ring, 10, 3, kOutline[i]));
        EXPECT_TRUE(PixelIs(ring, 10, 5, kUpper[i]));
        EXPECT_TRUE(PixelIs(ring, 10, 6, BackgroundAt(6)));
        EXPECT_TRUE(PixelIs(ring, 10, 13, BackgroundAt(13)));
        EXPECT_TRUE(PixelIs(ring, 10, 14, kLower[i]));
        EXPECT_TRUE(PixelIs(ring, 10, 16, kOutline[i]));
        EXPECT_TRUE(PixelIs(ring, 5, 9, kUpper[i]));
        EXPECT_TRUE(PixelIs(ring, 5, 10, kLower[i]));
        EXPECT_TRUE(PixelIs(ring, 6, 9, BackgroundAt(9)));
        EXPECT_TRUE(PixelIs(ring, 13, 10, BackgroundAt(10)));
        EXPECT_TRUE(PixelIs(ring, 14, 9, kUpper[i]));
        EXPECT_TRUE(PixelIs(ring, 14, 10, kLower[i]));
        EXPECT_TRUE(PixelIs(ring, 16, 10, kOutline[i]));
        EXPECT_TRUE(PixelIs(ring, 17, 10, BackgroundAt(10)));
    }
    SaveScreenshot(FullScreenImages()[0], "resources_fullscreen_normal_96");
}

TEST_F(ResourcesTest, ThumbImagesAreFramedTwoColourBars) {
    LoadAt(96);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const QImage& thumb = ThumbImages()[i];
        for (int x = 0; x < 6; ++x) {
            EXPECT_TRUE(PixelIs(thumb, x, 0, kOutline[i]));
            EXPECT_TRUE(PixelIs(thumb, x, 11, kOutline[i]));
        }
        for (int y = 0; y < 12; ++y) {
            EXPECT_TRUE(PixelIs(thumb, 0, y, kOutline[i]));
            EXPECT_TRUE(PixelIs(thumb, 5, y, kOutline[i]));
        }
        EXPECT_TRUE(PixelIs(thumb, 2, 1, kUpper[i]));
        EXPECT_TRUE(PixelIs(thumb, 4, 5, kUpper[i]));
        EXPECT_TRUE(PixelIs(thumb, 1, 6, kLower[i]));
        EXPECT_TRUE(PixelIs(thumb, 3, 10, kLower[i]));
    }
    SaveScreenshot(ThumbImages()[0], "resources_thumb_normal_96");
}

TEST_F(ResourcesTest, TrackRowsAroundTheMiddle) {
    LoadAt(96);  // rows 9..11, columns 9..10
    const QImage& track = TrackBitmap();
    SaveScreenshot(track, "resources_track_96");
    EXPECT_TRUE(PixelIs(track, 9, 9, kTrackUpper));
    EXPECT_TRUE(PixelIs(track, 10, 9, kTrackUpper));
    EXPECT_TRUE(PixelIs(track, 9, 10, kTrackLower));
    EXPECT_TRUE(PixelIs(track, 10, 11, kTrackLower));
    EXPECT_TRUE(PixelIs(track, 9, 8, BackgroundAt(8)));
    EXPECT_TRUE(PixelIs(track, 9, 12, BackgroundAt(12)));
    EXPECT_TRUE(PixelIs(track, 8, 10, BackgroundAt(10)));
    EXPECT_TRUE(PixelIs(track, 11, 10, BackgroundAt(10)));

    LoadAt(192);  // S = 40, H / 20 = 2: rows 18..22, columns 19..20
    const QImage& big = TrackBitmap();
    SaveScreenshot(big, "resources_track_192");
    EXPECT_TRUE(PixelIs(big, 19, 18, kTrackUpper));
    EXPECT_TRUE(PixelIs(big, 20, 19, kTrackUpper));
    EXPECT_TRUE(PixelIs(big, 19, 20, kTrackLower));
    EXPECT_TRUE(PixelIs(big, 20, 22, kTrackLower));
    EXPECT_TRUE(PixelIs(big, 19, 17, BackgroundAt(17)));
    EXPECT_TRUE(PixelIs(big, 19, 23, BackgroundAt(23)));
    EXPECT_TRUE(PixelIs(big, 21, 20, BackgroundAt(20)));
}

TEST_F(ResourcesTest, ImagesAt192Dpi) {
    LoadAt(192);  // S = 40, L = 6, R = 34
    const QImage& stop = StopImages()[0];
    SaveScreenshot(stop, "resources_stop_normal_192");
    SaveScreenshot(PlayImages()[0], "resources_play_normal_192");
    SaveScreenshot(FullScreenImages()[0], "resources_fullscreen_normal_192");
    EXPECT_TRUE(PixelIs(stop, 6, 6, kOutline[0]));
    EXPECT_TRUE(PixelIs(stop, 33, 33, kOutline[0]));
    EXPECT_TRUE(PixelIs(stop, 34, 34, BackgroundAt(34)));
    EXPECT_TRUE(PixelIs(stop, 20, 19, kUpper[0]));
    EXPECT_TRUE(PixelIs(stop, 20, 20, kLower[0]));
    const QImage& ring = FullScreenImages()[0];  // M = 12, D = 28
    EXPECT_TRUE(PixelIs(ring, 20, 11, kUpper[0]));
    EXPECT_TRUE(PixelIs(ring, 20, 12, BackgroundAt(12)));
    EXPECT_TRUE(PixelIs(ring, 20, 28, kLower[0]));
    EXPECT_EQ(ThumbImages()[1].size(), QSize(12, 24));
    EXPECT_TRUE(PixelIs(ThumbImages()[1], 5, 11, kUpper[1]));
    EXPECT_TRUE(PixelIs(ThumbImages()[1], 5, 12, kLower[1]));
}

TEST_F(ResourcesTest, ColoursPenBrushAndFonts) {
    QGuiApplication::setFont(QFont(QStringLiteral("Sans"), 9));
    LoadAt(96);
    EXPECT_EQ(LightTextColour(), QColor(220, 220, 235));
    EXPECT_EQ(BackgroundBrush().color(), QColor(61, 68, 86));
    EXPECT_EQ(BackgroundBrush().style(), Qt::SolidPattern);
    EXPECT_EQ(FramePen().color(), QColor(195, 170, 69));
    EXPECT_EQ(FramePen().style(), Qt::SolidLine);
    EXPECT_LE(FramePen().width(), 1);

    ASSERT_TRUE(BoldFont() && SmallBoldFont() && SmallFont());
    EXPECT_EQ(BoldFont()->family(), QStringLiteral("Arial"));
    EXPECT_EQ(BoldFont()->weight(), QFont::Bold);
    EXPECT_EQ(BoldFont()->pixelSize(), 12);  // 9 points at 96 dpi
    EXPECT_EQ(SmallBoldFont()->weight(), QFont::Bold);
    EXPECT_EQ(SmallBoldFont()->pixelSize(), 9);
    EXPECT_EQ(SmallFont()->weight(), QFont::Normal);
    EXPECT_EQ(SmallFont()->pixelSize(), 9);

    LoadAt(192);
    EXPECT_EQ(BoldFont()->pixelSize(), 24);
    EXPECT_EQ(SmallFont()->pixelSize(), 18);

    QFont pixelFont(QStringLiteral("Sans"));
    pixelFont.setPixelSize(15);
    QGuiApplication::setFont(pixelFont);
    LoadAt(96);
    EXPECT_EQ(BoldFont()->pixelSize(), 15);
    EXPECT_EQ(SmallBoldFont()->pixelSize(), 11);  // 15 * 3 / 4, truncated
}

TEST_F(ResourcesTest, BarBackgroundIsDrawnInThreeSlices) {
    LoadAt(96);
    QImage target(100, 24, QImage::Format_RGB888);
    target.fill(Qt::white);
    {
        QPainter painter(&target);
        DrawBarBackground(painter, target.rect());
    }
    SaveScreenshot(target, "resources_bar_slices_96");
    for (int y = 0; y < 24; ++y) {
        EXPECT_TRUE(PixelIs(target, 0, y, kFrame));
        EXPECT_TRUE(PixelIs(target, 4, y, BarBitmap().pixel(4, y)));
        EXPECT_TRUE(PixelIs(target, 50, y, BarBitmap().pixel(5, y)));
        EXPECT_TRUE(PixelIs(target, 94, y, BarBitmap().pixel(5, y)));
        EXPECT_TRUE(PixelIs(target, 99, y, kFrame));
    }
}

TEST_F(ResourcesTest, OnlyDecodableBlobsOfImagesBecomePictures) {
    WriteResources([](DocNode& images) {
        images.SetWString("f_xx", u"not a picture");
        images.AddAttribute("f_de")->SetBlob(Blob(PngBytes(16, 11, Qt::red)));
        images.AddAttribute("f_broken")->SetBlob(Blob(QByteArray("\x89PNG garbage", 12)));
        images.AddAttribute("f_empty")->SetBlob(MemoryStream());
        images.SetInt("count", 3);
    });
    LoadAt(96);
    const ResourceImage* flag = FindResourceImage("f_de");
    ASSERT_NE(flag, nullptr);
    EXPECT_EQ(flag->image.size(), QSize(16, 11));
    EXPECT_EQ(flag->image.pixelColor(3, 3), QColor(Qt::red));
    EXPECT_EQ(FindResourceImage("f_xx"), nullptr);
    EXPECT_EQ(FindResourceImage("f_broken"), nullptr);
    EXPECT_EQ(FindResourceImage("f_empty"), nullptr);
    EXPECT_EQ(FindResourceImage("count"), nullptr);
    // Names are exact and case-sensitive.
    EXPECT_EQ(FindResourceImage("F_DE"), nullptr);
    EXPECT_EQ(FindResourceImage("f_De"), nullptr);
    EXPECT_EQ(FindResourceImage("f_de "), nullptr);
    EXPECT_EQ(FindResourceImage(""), nullptr);
    // No cbuild.velt: no splash, the flags still load.
    EXPECT_EQ(SplashImage(), nullptr);
}

TEST_F(ResourcesTest, SplashComesFromTheImageBlobOfCbuild) {
    WriteResources([](DocNode&) {});
    WriteSplash(PngBytes(40, 30, Qt::blue));
    LoadAt(96);
    ASSERT_NE(SplashImage(), nullptr);
    EXPECT_EQ(SplashImage()->image.size(), QSize(40, 30));

    DocNode wrongType("splash");
    wrongType.SetWString("image", u"picture.png");
    ASSERT_TRUE(wrongType.SaveToFile(Path(dir_, "cbuild.velt")));
    LoadAt(96);
    EXPECT_EQ(SplashImage(), nullptr);
}

TEST_F(ResourcesTest, WithoutAnImagesChildNeitherFlagsNorSplashLoad) {
    WriteSplash(PngBytes(4, 4, Qt::green));
    LoadAt(96);  // no Resources.velt at all
    EXPECT_EQ(SplashImage(), nullptr);
    EXPECT_FALSE(BarBitmap().isNull());

    DocNode root("resources");
    root.AddChild("pictures")->AddAttribute("f_de")->SetBlob(Blob(PngBytes(2, 2, Qt::red)));
    ASSERT_TRUE(root.SaveToFile(Path(dir_, "Resources.velt")));
    LoadAt(96);
    EXPECT_EQ(FindResourceImage("f_de"), nullptr);
    EXPECT_EQ(SplashImage(), nullptr);

    QFile damaged(test::QtPath(dir_, "Resources.velt"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
    damaged.write("rubbish that is no document");
    damaged.close();
    LoadAt(96);
    EXPECT_EQ(SplashImage(), nullptr);
    EXPECT_FALSE(TrackBitmap().isNull());
}

TEST_F(ResourcesTest, ReleaseEmptiesEverythingAndTwiceDoesNothing) {
    ReleaseInterfaceResources();  // never loaded: nothing happens
    WriteResources([](DocNode& images) {
        images.AddAttribute("f_fr")->SetBlob(Blob(PngBytes(16, 11, Qt::white)));
    });
    WriteSplash(PngBytes(8, 8, Qt::white));
    LoadAt(192);
    ASSERT_NE(FindResourceImage("f_fr"), nullptr);
    ASSERT_NE(SplashImage(), nullptr);

    ReleaseInterfaceResources();
    EXPECT_EQ(FindResourceImage("f_fr"), nullptr);
    EXPECT_EQ(SplashImage(), nullptr);
    EXPECT_FALSE(LightTextColour().isValid());
    EXPECT_EQ(BackgroundBrush().style(), Qt::NoBrush);
    EXPECT_EQ(FramePen().style(), Qt::NoPen);
    EXPECT_FALSE(BoldFont().has_value());
    EXPECT_FALSE(SmallFont().has_value());
    EXPECT_TRUE(BarBitmap().isNull());
    EXPECT_TRUE(TrackBitmap().isNull());
    for (const ImageSet* set : {&PlayImages(), &StopImages(), &FullScreenImages(), &ThumbImages()})
        for (const QImage& image : *set)
            EXPECT_TRUE(image.isNull());
    // The bars keep their height: it is a property of the screen.
    EXPECT_EQ(BarHeight(), 48);

    ReleaseInterfaceResources();
    EXPECT_EQ(FindResourceImage("f_fr"), nullptr);

    // Painting without resources draws nothing and does not fail.
    QImage target(20, 20, QImage::Format_RGB888);
    target.fill(Qt::white);
    QPainter painter(&target);
    DrawBarBackground(painter, target.rect());
    painter.end();
    EXPECT_TRUE(PixelIs(target, 10, 10, qRgb(255, 255, 255)));
}

TEST_F(ResourcesTest, CountriesFindTheirFlagsOnlyWhileResourcesAreLoaded) {
    WriteResources([](DocNode& images) {
        images.AddAttribute("f_de")->SetBlob(Blob(PngBytes(16, 11, Qt::yellow)));
    });
    DocNode channels("1.0");
    channels.AddChild("de");
    channels.AddChild("fr");
    const std::u16string cataloguePath = Path(dir_, "Channels.lmch");
    ASSERT_TRUE(channels.SaveToFile(cataloguePath));

    LoadAt(96);
    {
        Catalogue catalogue;
        ASSERT_TRUE(catalogue.LoadCatalogue(cataloguePath));
        ASSERT_EQ(catalogue.Countries().size(), 2u);
        EXPECT_EQ(catalogue.Countries().at("de")->flag, FindResourceImage("f_de"));
        EXPECT_NE(catalogue.Countries().at("de")->flag, nullptr);
        EXPECT_EQ(catalogue.Countries().at("fr")->flag, nullptr);
    }
    ReleaseInterfaceResources();
    {
        Catalogue catalogue;
        ASSERT_TRUE(catalogue.LoadCatalogue(cataloguePath));
        EXPECT_EQ(catalogue.Countries().at("de")->flag, nullptr);
    }
}

}  // namespace
}  // namespace lumora
