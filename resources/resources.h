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

class QPainter;
class QRect;

namespace lumora {

// A decoded picture. The core sees this type only as an opaque pointer.
struct ResourceImage {
    QImage image;
};

// The three images of an owner-drawn button or of the slider thumb.
enum class ImageState { Normal = 0, Focused = 1, Pressed = 2 };
using ImageSet = std::array<QImage, 3>;  // indexed by ImageState
const QImage& ImageFor(const ImageSet& set, ImageState state);

// Makes every resource and installs the flag lookup of the catalogue.
// resourcesPath and splashPath are full paths of "Resources.velt" and
// "cbuild.velt"; logicalDpiY is the screen's logical vertical DPI, from which
// BarHeight and the font heights follow. A missing or damaged file leaves
// the pictures out and nothing else. Calling it again releases first.
void LoadInterfaceResources(const std::u16string& resourcesPath, const std::u16string& splashPath,
                            int logicalDpiY);
// Frees everything; does nothing unless resources are loaded.
void ReleaseInterfaceResources();

// The picture filed under exactly that name (byte-wise, case-sensitive), or
// null. The pointer stays valid until ReleaseInterfaceResources.
const ResourceImage* FindResourceImage(std::string_view name);
// The splash picture, or null when "cbuild.velt" gave none.
const ResourceImage* SplashImage();

// The height of the title bar, the control bar and the dialog title strips:
// (DPI * 24 + 48) / 96 for the DPI given at the last load (96 before any).
int BarHeight();
// The margin between the bars and the player: BarHeight / 8.
int BarMargin();
// The size of a button image: BarHeight * 5 / 6.
int ButtonImageSize();

// The colour scheme. Each yields "none" (an invalid colour, Qt::NoBrush,
// Qt::NoPen, std::nullopt, a null image) while nothing is loaded.
QColor LightTextColour();                // RGB(220, 220, 235), texts of dialogs and labels
QBrush BackgroundBrush();                // RGB(61, 68, 86), dialogs and the band between the bars
QPen FramePen();                         // RGB(195, 170, 69), 1 pixel, frames around controls
const std::optional<QFont>& BoldFont();  // bold, the system font's height, "Arial"
const std::optional<QFont>& SmallBoldFont();  // bold, 3/4 of that height
const std::optional<QFont>& SmallFont();      // normal weight, 3/4 of that height

const QImage& BarBitmap();           // 10 x BarHeight, the bars' background
const QImage& TrackBitmap();         // S x S, the volume slider's track
const ImageSet& PlayImages();        // S x S each
const ImageSet& StopImages();        // S x S each
const ImageSet& FullScreenImages();  // S x S each
const ImageSet& ThumbImages();       // (BarHeight / 4) x (BarHeight / 2) each

// Paints the bar background over target the way every bar does: bitmap
// columns 0-4 at the left 5 pixels, column 5 stretched over the middle,
// columns 5-9 at the right 5 pixels, the bitmap's height stretched to the
// target's. Paints nothing while BarBitmap is null.
// A 24-bit off-screen picture of `size` logical pixels at `ratio`, filled
// with the interface background (black when there is none): what the bars
// draw into before they copy it to the screen.
QImage BackgroundBuffer(const QSize& size, qreal ratio);

void DrawBarBackground(QPainter& painter, const QRect& target);

// Test and drawing helpers with the platform's exact pixel rules, exposed
// so that the pixel tests can state them.
// Fills rows top..bottom-1 of the columns left..right-1 with a vertical
// gradient: row y of a rectangle h rows high gets (top*(h-y) + bottom*y) / h
// in each channel, so the first row is exactly the top colour and the last
// row stops one step short of the bottom colour.
void FillVerticalGradient(QImage& image, const QRect& rect, QColor top, QColor bottom);

}  // namespace lumora
