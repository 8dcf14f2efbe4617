#pragma once

// The interface resources: the fonts, colours, pen, brush and bitmaps of the
// application's dark colour scheme, drawn in code, and the pictures that come
// with the program ("Resources.velt": country flags and other named images;
// "cbuild.velt": the splash picture).
//
// Threads: LoadInterfaceResources and ReleaseInterfaceResources run on the UI
// thread (once each, at start-up and at shut-down). Between the two nothing
// changes the resources, so any thread may read them (the splash dialog reads
// SplashImage from a thread of its own). Fonts are only created when a
// QGuiApplication exists.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPen>
#include <QRect>

class QPainter;

namespace lumora {

// A decoded picture. The core sees this type only as an opaque pointer.
struct ResourceImage {
    QImage image;
};

// The three images of an owner-drawn button or of the slider thumb.
enum class ImageState { Normal = 0, Focused = 1, Pressed = 2 };
using ImageSet = std::array<QImage, 3>;  // indexed by ImageState
const QImage& ImageFor(const ImageSet& set, ImageState state);

// Which pixels a size or a font is given in: the widgets' logical pixels,
// or the device's real pixels (logical pixels times the device pixel ratio,
// which is 2 on a screen scaled to 200 %).
enum class Pixels { Logical, Device };

// Makes every resource and installs the flag lookup of the catalogue.
// resourcesPath and splashPath are full paths of "Resources.velt" and
// "cbuild.velt"; logicalDpiY is the screen's logical vertical DPI and
// devicePixelRatio its scale. Every bitmap, pen and font is made for the
// device's real pixels, at DPI logicalDpiY x devicePixelRatio, so that a
// scaled screen shows the drawing of that DPI pixel for pixel instead of a
// magnified one; the bitmaps carry the ratio, so that painting them in
// logical coordinates puts one bitmap pixel on one device pixel. A missing
// or damaged file leaves the pictures out and nothing else. Calling it again
// releases first.
void LoadInterfaceResources(const std::u16string& resourcesPath, const std::u16string& splashPath,
                            int logicalDpiY, qreal devicePixelRatio = 1.0);
// Frees everything; does nothing unless resources are loaded.
void ReleaseInterfaceResources();

// The picture filed under exactly that name (byte-wise, case-sensitive), or
// null. The pointer stays valid until ReleaseInterfaceResources.
const ResourceImage* FindResourceImage(std::string_view name);
// The splash picture, or null when "cbuild.velt" gave none.
const ResourceImage* SplashImage();

// The height of the title bar, the control bar and the dialog title strips:
// (DPI * 24 + 48) / 96 device pixels for the device DPI of the last load
// (96 before any); in logical pixels, that height over the ratio, rounded.
int BarHeight(Pixels unit = Pixels::Logical);
// The margin between the bars and the player: BarHeight / 8.
int BarMargin(Pixels unit = Pixels::Logical);
// The size of a button image: BarHeight * 5 / 6.
int ButtonImageSize(Pixels unit = Pixels::Logical);

// The device pixel ratio of the last load (1 before any), and conversions
// between the two kinds of pixels, rounded to the nearest whole pixel. A
// rectangle converts its edges, so that rectangles that meet in one kind of
// pixels still meet in the other.
qreal DevicePixelRatio();
int ToLogical(int devicePixels);
int ToDevice(int logicalPixels);
QRect ToLogical(const QRect& deviceRect);

// The colour scheme. Each yields "none" (an invalid colour, Qt::NoBrush,
// Qt::NoPen, std::nullopt, a null image) while nothing is loaded.
QColor LightTextColour();  // RGB(220, 220, 235), texts of dialogs and labels
QBrush BackgroundBrush();  // RGB(61, 68, 86), dialogs and the band between the bars
QPen FramePen();           // RGB(195, 170, 69), 1 pixel, frames around controls
// Bold, the system font's height, "Arial"; in device pixels for painting
// on a DeviceBuffer.
const std::optional<QFont>& BoldFont(Pixels unit = Pixels::Logical);
const std::optional<QFont>& SmallBoldFont(Pixels unit = Pixels::Logical);  // bold, 3/4 of that
const std::optional<QFont>& SmallFont(Pixels unit = Pixels::Logical);      // normal weight, 3/4

// Sizes in device pixels; each bitmap carries the device pixel ratio.
const QImage& BarBitmap();           // 10 x BarHeight, the bars' background
const QImage& TrackBitmap();         // S x S, the volume slider's track
const ImageSet& PlayImages();        // S x S each
const ImageSet& StopImages();        // S x S each
const ImageSet& FullScreenImages();  // S x S each
const ImageSet& ThumbImages();       // (BarHeight / 4) x (BarHeight / 2) each

// A 24-bit off-screen picture of a widget of `logicalSize`, in device
// pixels and with a ratio of 1, filled with the interface background (black
// when there is none): the bars draw into it with device sizes and fonts,
// so that their text and bitmaps land on whole device pixels, and then show
// it with DrawDeviceBuffer.
QImage DeviceBuffer(const QSize& logicalSize);
// Paints a DeviceBuffer at the painter's origin, one buffer pixel on one
// device pixel.
void DrawDeviceBuffer(QPainter& painter, QImage buffer);

// Paints the bar background over target the way every bar does: bitmap
// columns 0-4 at the left 5 device pixels, column 5 stretched over the
// middle, columns 5-9 at the right 5 device pixels, the bitmap's height
// stretched to the target's. Paints nothing while BarBitmap is null.
void DrawBarBackground(QPainter& painter, const QRect& target);

// The frame around a control or the player, in FramePen's colour: one
// device pixel wide, right outside `control` (in the painter's logical
// coordinates) on every side. It is filled rather than stroked: a fill and
// the control's own painting round a fractional device position (a screen
// scaled to 150 %) the same way, so the two meet without a gap or overlap.
// Paints nothing while FramePen is none.
void DrawFrameAround(QPainter& painter, const QRect& control);

// Test and drawing helpers with the platform's exact pixel rules, exposed
// so that the pixel tests can state them.
// Fills rows top..bottom-1 of the columns left..right-1 with a vertical
// gradient: row y of a rectangle h rows high gets (top*(h-y) + bottom*y) / h
// in each channel, so the first row is exactly the top colour and the last
// row stops one step short of the bottom colour.
void FillVerticalGradient(QImage& image, const QRect& rect, QColor top, QColor bottom);

}  // namespace lumora
