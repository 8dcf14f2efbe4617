#include "resources/resources.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <utility>

#include <QGuiApplication>
#include <QPainter>
#include <QRect>

#include "catalogue/catalogue.h"
#include "catalogue/resources_format.h"
#include "document/doc_node.h"

namespace lumora {
namespace {

constexpr int kBarBitmapWidth = 10;
constexpr int kReferenceDpi = 96;
// A DPI beyond this is a broken screen report, not a screen; it would only
// make huge bitmaps.
constexpr int kMaxDpi = 2400;

constexpr QRgb kLightText = qRgb(220, 220, 235);
constexpr QRgb kBackground = qRgb(61, 68, 86);
constexpr QRgb kFrame = qRgb(195, 170, 69);
constexpr QRgb kBarUpperTop = qRgb(83, 96, 135);
constexpr QRgb kBarUpperBottom = qRgb(57, 62, 77);
constexpr QRgb kBarLowerTop = qRgb(15, 15, 15);
constexpr QRgb kBarLowerBottom = qRgb(17, 20, 32);
constexpr QRgb kTrackUpper = qRgb(200, 200, 255);
constexpr QRgb kTrackLower = qRgb(150, 150, 200);

constexpr const char* kFontFace = "Arial";

// The three pen colours of one image of a set.
struct ImageColours {
    QRgb upper;    // A
    QRgb lower;    // B
    QRgb outline;  // C
};

// Normal, focused, pressed.
constexpr std::array<ImageColours, 3> kSetColours{{
    {qRgb(200, 200, 255), qRgb(150, 150, 200), qRgb(100, 100, 120)},
    {qRgb(220, 220, 255), qRgb(170, 170, 220), qRgb(110, 110, 130)},
    {qRgb(180, 180, 230), qRgb(130, 130, 170), qRgb(90, 90, 100)},
}};

// One font in both kinds of pixels.
struct FontPair {
    std::optional<QFont> logical;
    std::optional<QFont> device;
};

struct Resources {
    bool loaded = false;
    int barHeight = (kReferenceDpi * 24 + 48) / 96;  // device pixels
    qreal ratio = 1.0;
    QColor lightText;
    QBrush background{Qt::NoBrush};
    QPen frame{Qt::NoPen};
    FontPair boldFont;
    FontPair smallBoldFont;
    FontPair smallFont;
    QImage barBitmap;
    QImage trackBitmap;
    ImageSet playImages;
    ImageSet stopImages;
    ImageSet fullScreenImages;
    ImageSet thumbImages;
    // Decoded pictures own their pixels, so the blobs they came from are
    // not kept.
    std::map<std::string, std::unique_ptr<ResourceImage>, std::less<>> images;
    std::unique_ptr<ResourceImage> splash;
};

Resources& State() {
    static Resources resources;
    return resources;
}

QImage NewBitmap(int width, int height) {
    if (width <= 0 || height <= 0)
        return {};
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(Qt::black);
    return image;
}

void SetPixel(QImage& image, int x, int y, QRgb colour) {
    if (x >= 0 && y >= 0 && x < image.width() && y < image.height())
        image.setPixel(x, y, colour);
}

// A one-pixel line from `from` towards `to`, the end point itself not
// drawn, as the platform's MoveTo/LineTo does. Slanted lines step along
// their major axis; a minor coordinate exactly halfway between two pixels
// stays on the side of the start point.
void DrawLine(QImage& image, QPoint from, QPoint to, QRgb colour) {
    const int dx = to.x() - from.x();
    const int dy = to.y() - from.y();
    const int adx = std::abs(dx);
    const int ady = std::abs(dy);
    const int sx = dx < 0 ? -1 : 1;
    const int sy = dy < 0 ? -1 : 1;
    if (adx >= ady) {
        for (int i = 0; i < adx; ++i) {
            const int minor = (2 * i * ady + adx - 1) / (2 * adx);
            SetPixel(image, from.x() + sx * i, from.y() + sy * minor, colour);
        }
    } else {
        for (int i = 0; i < ady; ++i) {
            const int minor = (2 * i * adx + ady - 1) / (2 * ady);
            SetPixel(image, from.x() + sx * minor, from.y() + sy * i, colour);
        }
    }
}

// The platform's rectangle outline with a 1-pixel pen and the hollow
// brush: columns left..right-1 and rows top..bottom-1 are covered.
void DrawOutline(QImage& image, int left, int top, int right, int bottom, QRgb colour) {
    if (right <= left || bottom <= top)
        return;
    DrawLine(image, {left, top}, {right - 1, top}, colour);
    DrawLine(image, {right - 1, top}, {right - 1, bottom - 1}, colour);
    DrawLine(image, {right - 1, bottom - 1}, {left, bottom - 1}, colour);
    DrawLine(image, {left, bottom - 1}, {left, top}, colour);
}

// Nearest-neighbour stretch of source rectangle `from` of `source` onto
// rectangle `to` of `target`, as the platform's StretchBlt does in its
// colour-on-colour mode.
void StretchCopy(const QImage& source, const QRect& from, QImage& target, const QRect& to) {
    if (from.isEmpty() || to.isEmpty())
        return;
    for (int y = 0; y < to.height(); ++y) {
        const int sy = from.y() + y * from.height() / to.height();
        for (int x = 0; x < to.width(); ++x) {
            const int sx = from.x() + x * from.width() / to.width();
            if (source.valid(sx, sy))
                SetPixel(target, to.x() + x, to.y() + y, source.pixel(sx, sy));
        }
    }
}

QImage MakeBarBitmap(int h) {
    QImage bar = NewBitmap(kBarBitmapWidth, h);
    if (bar.isNull())
        return bar;
    const int half = h / 2;
    FillVerticalGradient(bar, QRect(0, 0, kBarBitmapWidth, half), QColor(kBarUpperTop),
                         QColor(kBarUpperBottom));
    FillVerticalGradient(bar, QRect(0, half, kBarBitmapWidth, half), QColor(kBarLowerTop),
                         QColor(kBarLowerBottom));
    DrawOutline(bar, 0, 0, kBarBitmapWidth, h, kFrame);
    return bar;
}

// The bar's gradient at the height where an S x S image sits, centred in
// a bar: the common background of the buttons and of the track.
QImage MakeButtonBackground(const QImage& bar, int h, int s) {
    QImage image = NewBitmap(s, s);
    if (!image.isNull())
        StretchCopy(bar, QRect(1, (h - s) / 2, 2, s), image, QRect(0, 0, s, s));
    return image;
}

QImage MakePlayImage(const QImage& bar, int h, int s, const ImageColours& c) {
    QImage image = MakeButtonBackground(bar, h, s);
    for (int x = 0; x < s; ++x)
        DrawLine(image, {x, x / 2}, {x, s / 2}, c.upper);
    for (int x = 0; x < s; ++x)
        DrawLine(image, {x, s - x / 2 - 1}, {x, s / 2 - 1}, c.lower);
    DrawLine(image, {0, 0}, {s, s / 2}, c.outline);
    DrawLine(image, {s, s / 2}, {0, s}, c.outline);
    DrawLine(image, {0, s}, {0, 0}, c.outline);
    return image;
}

QImage MakeStopImage(const QImage& bar, int h, int s, const ImageColours& c) {
    QImage image = MakeButtonBackground(bar, h, s);
    const int l = s / 6;
    const int r = s - l;
    for (int x = l; x < r; ++x)
        DrawLine(image, {x, l}, {x, s / 2}, c.upper);
    for (int x = l; x < r; ++x)
        DrawLine(image, {x, s / 2}, {x, r}, c.lower);
    DrawOutline(image, l, l, r, r, c.outline);
    return image;
}

QImage MakeFullScreenImage(const QImage& bar, int h, int s, const ImageColours& c) {
    QImage image = MakeButtonBackground(bar, h, s);
    const int l = s / 6;
    const int r = s - l;
    const int m = 2 * l;
    const int d = r - l;
    auto isSide = [&](int x) { return x < m || x >= d; };
    for (int x = l; x < r; ++x)
        DrawLine(image, {x, l}, {x, isSide(x) ? s / 2 : m}, c.upper);
    for (int x = l; x < r; ++x)
        DrawLine(image, {x, isSide(x) ? s / 2 : d}, {x, r}, c.lower);
    DrawOutline(image, l, l, r, r, c.outline);
    return image;
}

QImage MakeThumbImage(int h, const ImageColours& c) {
    const int w = h / 4;
    const int t = h / 2;
    QImage image = NewBitmap(w, t);
    for (int x = 0; x < w; ++x)
        DrawLine(image, {x, 0}, {x, t / 2}, c.upper);
    for (int x = 0; x < w; ++x)
        DrawLine(image, {x, t / 2}, {x, t}, c.lower);
    DrawOutline(image, 0, 0, w, t, c.outline);
    return image;
}

template <typename Make>
ImageSet MakeSet(Make make) {
    ImageSet set;
    for (std::size_t i = 0; i < set.size(); ++i)
        set[i] = make(kSetColours[i]);
    return set;
}

QImage MakeTrackBitmap(const QImage& bar, int h, int s) {
    QImage image = MakeButtonBackground(bar, h, s);
    for (int y = s / 2 - h / 20; y <= s / 2 + h / 20; ++y)
        DrawLine(image, {s / 2 - 1, y}, {s - s / 2 + 1, y}, y < s / 2 ? kTrackUpper : kTrackLower);
    return image;
}

// The system font's height in device pixels at the given device DPI, or 0
// when there is no application to ask.
int SystemFontPixelHeight(int deviceDpi, qreal ratio) {
    if (QGuiApplication::instance() == nullptr)
        return 0;
    const QFont system = QGuiApplication::font();
    if (system.pixelSize() > 0)
        return qRound(system.pixelSize() * ratio);
    if (system.pointSizeF() > 0)
        return qRound(system.pointSizeF() * deviceDpi / 72.0);
    return 0;
}

// `font` at a height of `devicePixels`, once for device painting and once
// for painting in logical coordinates. A logical height that is not a whole
// number of pixels is given in points, which Qt turns into the exact device
// height again when it draws.
FontPair SizedFont(QFont font, int devicePixels, qreal ratio, int logicalDpi) {
    FontPair pair;
    font.setPixelSize(devicePixels);
    QFont device = font;
    // Qt leaves text unhinted on a scaled screen; the device's real pixels
    // are hinted as on an unscaled screen, with the slight (vertical)
    // hinting that desktops use by default.
    if (ratio != 1.0)
        device.setHintingPreference(QFont::PreferVerticalHinting);
    pair.device = device;
    const qreal logical = devicePixels / ratio;
    if (logical == std::floor(logical))
        font.setPixelSize(static_cast<int>(logical));
    else
        font.setPointSizeF(logical * 72.0 / logicalDpi);
    pair.logical = font;
    return pair;
}

void MakeFonts(Resources& r, int deviceDpi, int logicalDpi) {
    const int height = SystemFontPixelHeight(deviceDpi, r.ratio);
    if (height <= 0)
        return;
    QFont font = QGuiApplication::font();
    font.setFamily(QString::fromLatin1(kFontFace));
    font.setWeight(QFont::Bold);
    r.boldFont = SizedFont(font, height, r.ratio, logicalDpi);
    const int small = std::max(1, height * 3 / 4);
    r.smallBoldFont = SizedFont(font, small, r.ratio, logicalDpi);
    font.setWeight(QFont::Normal);
    r.smallFont = SizedFont(font, small, r.ratio, logicalDpi);
}

// Lets painting in logical coordinates put one pixel of each bitmap on one
// device pixel.
void SetRatio(QImage& image, qreal ratio) {
    if (!image.isNull())
        image.setDevicePixelRatio(ratio);
}

void SetRatio(ImageSet& set, qreal ratio) {
    for (QImage& image : set)
        SetRatio(image, ratio);
}

void SetRatios(Resources& r) {
    for (QImage* image : {&r.barBitmap, &r.trackBitmap})
        SetRatio(*image, r.ratio);
    for (ImageSet* set : {&r.playImages, &r.stopImages, &r.fullScreenImages, &r.thumbImages})
        SetRatio(*set, r.ratio);
}

const std::optional<QFont>& Choose(const FontPair& pair, Pixels unit) {
    return unit == Pixels::Device ? pair.device : pair.logical;
}

std::unique_ptr<ResourceImage> Decode(const MemoryStream* bytes) {
    if (bytes == nullptr || bytes->Data() == nullptr || bytes->Size() > INT_MAX)
        return nullptr;
    auto picture = std::make_unique<ResourceImage>();
    if (!picture->image.loadFromData(bytes->Data(), static_cast<int>(bytes->Size())))
        return nullptr;
    return picture;
}

void LoadPictures(Resources& r, const std::u16string& resourcesPath,
                  const std::u16string& splashPath) {
    DocNode resources;
    if (!resources.LoadFromFile(resourcesPath))
        return;
    const DocNode* images = std::as_const(resources).Child(kImagesNode);
    if (images == nullptr)
        return;
    for (const auto& attribute : images->Attributes()) {
        if (attribute->Type() != ValueType::Blob)
            continue;
        if (auto picture = Decode(attribute->Blob()))
            r.images.insert_or_assign(attribute->Name(), std::move(picture));
    }
    DocNode splash;
    if (splash.LoadFromFile(splashPath))
        r.splash = Decode(splash.GetBlob(kSplashAttribute));
}

int SaneDpi(int dpi) {
    return dpi > 0 ? std::min(dpi, kMaxDpi) : kReferenceDpi;
}

// A ratio beyond this is a broken screen report as well.
constexpr qreal kMaxRatio = 8.0;

qreal SaneRatio(qreal ratio) {
    return ratio > 0 && std::isfinite(ratio) ? std::min(ratio, kMaxRatio) : 1.0;
}

}  // namespace

const QImage& ImageFor(const ImageSet& set, ImageState state) {
    return set[static_cast<std::size_t>(state)];
}

void FillVerticalGradient(QImage& image, const QRect& rect, QColor top, QColor bottom) {
    const int h = rect.height();
    if (h <= 0 || rect.width() <= 0)
        return;
    auto mix = [h](int a, int b, int y) { return (a * (h - y) + b * y) / h; };
    for (int y = 0; y < h; ++y) {
        const QRgb colour =
            qRgb(mix(top.red(), bottom.red(), y), mix(top.green(), bottom.green(), y),
                 mix(top.blue(), bottom.blue(), y));
        for (int x = 0; x < rect.width(); ++x)
            SetPixel(image, rect.x() + x, rect.y() + y, colour);
    }
}

void LoadInterfaceResources(const std::u16string& resourcesPath, const std::u16string& splashPath,
                            int logicalDpiY, qreal devicePixelRatio) {
    ReleaseInterfaceResources();
    Resources& r = State();
    r.loaded = true;
    const int logicalDpi = SaneDpi(logicalDpiY);
    r.ratio = SaneRatio(devicePixelRatio);
    const int dpi = SaneDpi(qRound(logicalDpi * r.ratio));
    const int h = (dpi * 24 + 48) / 96;
    const int s = h * 5 / 6;
    r.barHeight = h;

    r.frame = QPen(QColor(kFrame), 1, Qt::SolidLine);
    r.frame.setCosmetic(true);
    r.lightText = QColor(kLightText);
    r.background = QBrush(QColor(kBackground), Qt::SolidPattern);

    r.barBitmap = MakeBarBitmap(h);
    MakeFonts(r, dpi, logicalDpi);
    const QImage& bar = r.barBitmap;
    r.playImages = MakeSet([&](const ImageColours& c) { return MakePlayImage(bar, h, s, c); });
    r.stopImages = MakeSet([&](const ImageColours& c) { return MakeStopImage(bar, h, s, c); });
    r.fullScreenImages =
        MakeSet([&](const ImageColours& c) { return MakeFullScreenImage(bar, h, s, c); });
    r.thumbImages = MakeSet([&](const ImageColours& c) { return MakeThumbImage(h, c); });
    r.trackBitmap = MakeTrackBitmap(bar, h, s);
    SetRatios(r);

    LoadPictures(r, resourcesPath, splashPath);
    SetResourceImageLookup([](std::string_view name) { return FindResourceImage(name); });
}

void ReleaseInterfaceResources() {
    Resources& r = State();
    if (!r.loaded)
        return;
    // The catalogue must not reach pictures that are gone.
    SetResourceImageLookup(nullptr);
    const int barHeight = r.barHeight;
    const qreal ratio = r.ratio;
    r = Resources{};
    r.barHeight = barHeight;
    r.ratio = ratio;
}

const ResourceImage* FindResourceImage(std::string_view name) {
    const auto& images = State().images;
    const auto found = images.find(name);
    return found == images.end() ? nullptr : found->second.get();
}

const ResourceImage* SplashImage() {
    return State().splash.get();
}

int BarHeight(Pixels unit) {
    const int device = State().barHeight;
    return unit == Pixels::Device ? device : ToLogical(device);
}
int BarMargin(Pixels unit) {
    const int device = BarHeight(Pixels::Device) / 8;
    return unit == Pixels::Device ? device : ToLogical(device);
}
int ButtonImageSize(Pixels unit) {
    const int device = BarHeight(Pixels::Device) * 5 / 6;
    return unit == Pixels::Device ? device : ToLogical(device);
}

qreal DevicePixelRatio() {
    return State().ratio;
}
int ToLogical(int devicePixels) {
    return qRound(devicePixels / DevicePixelRatio());
}
int ToDevice(int logicalPixels) {
    return qRound(logicalPixels * DevicePixelRatio());
}
QRect ToLogical(const QRect& deviceRect) {
    const int left = ToLogical(deviceRect.x());
    const int top = ToLogical(deviceRect.y());
    return QRect(left, top, ToLogical(deviceRect.x() + deviceRect.width()) - left,
                 ToLogical(deviceRect.y() + deviceRect.height()) - top);
}

QColor LightTextColour() {
    return State().lightText;
}
QBrush BackgroundBrush() {
    return State().background;
}
QPen FramePen() {
    return State().frame;
}
const std::optional<QFont>& BoldFont(Pixels unit) {
    return Choose(State().boldFont, unit);
}
const std::optional<QFont>& SmallBoldFont(Pixels unit) {
    return Choose(State().smallBoldFont, unit);
}
const std::optional<QFont>& SmallFont(Pixels unit) {
    return Choose(State().smallFont, unit);
}
const QImage& BarBitmap() {
    return State().barBitmap;
}
const QImage& TrackBitmap() {
    return State().trackBitmap;
}
const ImageSet& PlayImages() {
    return State().playImages;
}
const ImageSet& StopImages() {
    return State().stopImages;
}
const ImageSet& FullScreenImages() {
    return State().fullScreenImages;
}
const ImageSet& ThumbImages() {
    return State().thumbImages;
}

QImage DeviceBuffer(const QSize& logicalSize) {
    QImage buffer(logicalSize * DevicePixelRatio(), QImage::Format_RGB888);
    const QBrush background = BackgroundBrush();
    buffer.fill(background.style() == Qt::NoBrush ? QColor(Qt::black) : background.color());
    return buffer;
}

void DrawDeviceBuffer(QPainter& painter, QImage buffer) {
    buffer.setDevicePixelRatio(DevicePixelRatio());
    painter.drawImage(QPoint(0, 0), buffer);
}

void DrawBarBackground(QPainter& painter, const QRect& target) {
    const QImage& bar = BarBitmap();
    if (bar.isNull() || target.isEmpty())
        return;
    // The edges are 5 pixels of the device the painter paints on.
    const qreal ratio = painter.device() != nullptr ? painter.device()->devicePixelRatio() : 1.0;
    constexpr int edge = kBarBitmapWidth / 2;
    const qreal logicalEdge = edge / ratio;
    const int barH = bar.height();
    const qreal middle = std::max(0.0, target.width() - 2 * logicalEdge);
    const qreal x = target.x();
    const qreal y = target.y();
    const qreal h = target.height();
    painter.drawImage(QRectF(x, y, logicalEdge, h), bar, QRectF(0, 0, edge, barH));
    painter.drawImage(QRectF(x + logicalEdge, y, middle, h), bar, QRectF(edge, 0, 1, barH));
    painter.drawImage(QRectF(x + logicalEdge + middle, y, logicalEdge, h), bar,
                      QRectF(edge, 0, edge, barH));
}

void DrawFrameAround(QPainter& painter, const QRect& control) {
    const QColor colour = FramePen().color();
    if (!colour.isValid())
        return;
    const qreal pixel =
        1.0 / (painter.device() != nullptr ? painter.device()->devicePixelRatio() : 1.0);
    const qreal left = control.x();
    const qreal top = control.y();
    const qreal right = left + control.width();
    const qreal bottom = top + control.height();
    const qreal outerWidth = control.width() + 2 * pixel;
    painter.fillRect(QRectF(left - pixel, top - pixel, outerWidth, pixel), colour);
    painter.fillRect(QRectF(left - pixel, bottom, outerWidth, pixel), colour);
    painter.fillRect(QRectF(left - pixel, top, pixel, control.height()), colour);
    painter.fillRect(QRectF(right, top, pixel, control.height()), colour);
}

}  // namespace lumora
