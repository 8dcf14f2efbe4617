#include "resources/resources.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <map>
#include <memory>
#include <utility>

#include <QGuiApplication>
#include <QPainter>
#include <QRect>

#include "catalogue/catalogue.h"
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

constexpr const char* kImagesNode = "images";
constexpr const char* kSplashAttribute = "image";
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

struct Resources {
    bool loaded = false;
    int barHeight = (kReferenceDpi * 24 + 48) / 96;
    QColor lightText;
    QBrush background{Qt::NoBrush};
    QPen frame{Qt::NoPen};
    std::optional<QFont> boldFont;
    std::optional<QFont> smallBoldFont;
    std::optional<QFont> smallFont;
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

// The system font's height in pixels at the given DPI, or 0 when there is
// no application to ask.
int SystemFontPixelHeight(int dpi) {
    if (QGuiApplication::instance() == nullptr)
        return 0;
    const QFont system = QGuiApplication::font();
    if (system.pixelSize() > 0)
        return system.pixelSize();
    if (system.pointSizeF() > 0)
        return qRound(system.pointSizeF() * dpi / 72.0);
    return 0;
}

void MakeFonts(Resources& r, int dpi) {
    const int height = SystemFontPixelHeight(dpi);
    if (height <= 0)
        return;
    QFont font = QGuiApplication::font();
    font.setFamily(QString::fromLatin1(kFontFace));
    font.setWeight(QFont::Bold);
    font.setPixelSize(height);
    r.boldFont = font;
    font.setPixelSize(std::max(1, height * 3 / 4));
    r.smallBoldFont = font;
    font.setWeight(QFont::Normal);
    r.smallFont = font;
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
                            int logicalDpiY) {
    ReleaseInterfaceResources();
    Resources& r = State();
    r.loaded = true;
    const int dpi = SaneDpi(logicalDpiY);
    const int h = (dpi * 24 + 48) / 96;
    const int s = h * 5 / 6;
    r.barHeight = h;

    r.frame = QPen(QColor(kFrame), 1, Qt::SolidLine);
    r.frame.setCosmetic(true);
    r.lightText = QColor(kLightText);
    r.background = QBrush(QColor(kBackground), Qt::SolidPattern);

    r.barBitmap = MakeBarBitmap(h);
    MakeFonts(r, dpi);
    const QImage& bar = r.barBitmap;
    r.playImages = MakeSet([&](const ImageColours& c) { return MakePlayImage(bar, h, s, c); });
    r.stopImages = MakeSet([&](const ImageColours& c) { return MakeStopImage(bar, h, s, c); });
    r.fullScreenImages =
        MakeSet([&](const ImageColours& c) { return MakeFullScreenImage(bar, h, s, c); });
    r.thumbImages = MakeSet([&](const ImageColours& c) { return MakeThumbImage(h, c); });
    r.trackBitmap = MakeTrackBitmap(bar, h, s);

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
    r = Resources{};
    r.barHeight = barHeight;
}

const ResourceImage* FindResourceImage(std::string_view name) {
    const auto& images = State().images;
    const auto found = images.find(name);
    return found == images.end() ? nullptr : found->second.get();
}

const ResourceImage* SplashImage() {
    return State().splash.get();
}

int BarHeight() {
    return State().barHeight;
}
int BarMargin() {
    return BarHeight() / 8;
}
int ButtonImageSize() {
    return BarHeight() * 5 / 6;
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
const std::optional<QFont>& BoldFont() {
    return State().boldFont;
}
const std::optional<QFont>& SmallBoldFont() {
    return State().smallBoldFont;
}
const std::optional<QFont>& SmallFont() {
    return State().smallFont;
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

QImage BackgroundBuffer(const QSize& size, qreal ratio) {
    QImage buffer(size * ratio, QImage::Format_RGB888);
    buffer.setDevicePixelRatio(ratio);
    const QBrush background = BackgroundBrush();
    buffer.fill(background.style() == Qt::NoBrush ? QColor(Qt::black) : background.color());
    return buffer;
}

void DrawBarBackground(QPainter& painter, const QRect& target) {
    const QImage& bar = BarBitmap();
    if (bar.isNull() || target.isEmpty())
        return;
    constexpr int edge = kBarBitmapWidth / 2;
    const int barH = bar.height();
    const int middle = std::max(0, target.width() - 2 * edge);
    painter.drawImage(QRect(target.x(), target.y(), edge, target.height()), bar,
                      QRect(0, 0, edge, barH));
    painter.drawImage(QRect(target.x() + edge, target.y(), middle, target.height()), bar,
                      QRect(edge, 0, 1, barH));
    painter.drawImage(QRect(target.x() + edge + middle, target.y(), edge, target.height()), bar,
                      QRect(edge, 0, edge, barH));
}

}  // namespace lumora
