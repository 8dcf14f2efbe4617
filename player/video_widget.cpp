#include "player/video_widget.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

#include <mpv/render.h>

namespace lumora {

namespace {

constexpr std::size_t kRowAlignment = 64;
constexpr std::uint32_t kOpaque = 0xff000000u;

std::size_t AlignedStride(int width) {
    const std::size_t bytes = std::size_t(width) * 4;
    return (bytes + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
}

}  // namespace

void VideoWidget::RenderContextDeleter::operator()(mpv_render_context* context) const {
    mpv_render_context_set_update_callback(context, nullptr, nullptr);
    mpv_render_context_free(context);
}

void VideoWidget::AlignedFree::operator()(unsigned char* bytes) const {
    std::free(bytes);
}

VideoWidget::VideoWidget(QWidget* parent) : QWidget(parent) {
    // The renderer paints every pixel; Qt need not clear first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
}

VideoWidget::~VideoWidget() {
    Detach();
}

bool VideoWidget::Attach(mpv_handle* mpv, const std::string& renderApi) {
    Detach();
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(renderApi.c_str())},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context* context = nullptr;
    if (mpv_render_context_create(&context, mpv, params) < 0)
        return false;
    render_.reset(context);
    framesRendered_ = 0;
    mpv_render_context_set_update_callback(context, &VideoWidget::OnRenderUpdate, this);
    return true;
}

void VideoWidget::Detach() {
    // The deleter clears the update callback before freeing the context.
    render_.reset();
    frame_ = QImage();
    pixels_.reset();
    update();
}

void VideoWidget::OnRenderUpdate(void* context) {
    // mpv's thread: only queue the work for the UI thread. Calls still
    // queued when the widget is destroyed are dropped with it.
    auto* widget = static_cast<VideoWidget*>(context);
    if (widget->updateQueued_.exchange(true))
        return;
    QMetaObject::invokeMethod(
        widget, [widget] { widget->ProcessRenderUpdate(); }, Qt::QueuedConnection);
}

void VideoWidget::ProcessRenderUpdate() {
    updateQueued_.store(false);
    if (!render_)
        return;
    if (mpv_render_context_update(render_.get()) & MPV_RENDER_UPDATE_FRAME) {
        // Render now rather than in the next paint: mpv's video thread
        // waits until each frame has been rendered, so a late render holds
        // up playback and channel changes.
        if (RenderAt(DevicePixels(OriginInWindow()))) {
            ++framesRendered_;
            emit FrameRendered();
        }
        frameDue_ = true;
        update();
    }
}

QPointF VideoWidget::OriginInWindow() const {
    return QPointF(mapTo(window(), QPoint(0, 0))) * devicePixelRatioF();
}

QSize VideoWidget::DevicePixels(QPointF origin) const {
    const qreal ratio = devicePixelRatioF();
    const int left = qRound(origin.x());
    const int top = qRound(origin.y());
    return QSize(qRound(origin.x() + width() * ratio) - left,
                 qRound(origin.y() + height() * ratio) - top);
}

bool VideoWidget::RenderAt(const QSize& pixels) {
    if (pixels.isEmpty() || !EnsureFrameBuffer(pixels))
        return false;
    return RenderFrame(pixels);
}

bool VideoWidget::EnsureFrameBuffer(const QSize& pixels) {
    const qreal ratio = devicePixelRatioF();
    if (frame_.size() == pixels && frame_.devicePixelRatio() == ratio && pixels_)
        return true;
    frame_ = QImage();
    stride_ = AlignedStride(pixels.width());
    pixels_.reset(static_cast<unsigned char*>(
        std::aligned_alloc(kRowAlignment, stride_ * std::size_t(pixels.height()))));
    if (!pixels_)
        return false;
    // Opaque black until mpv draws: the allocation may hold anything, and
    // mpv does not draw while nothing plays.
    FillBlack(pixels);
    // "bgr0" in memory is 0x00RRGGBB per pixel on little-endian machines:
    // the layout of Format_RGB32, whose unused byte Qt ignores.
    // frame_ only wraps pixels_; nothing may change it afterwards, or it
    // would detach from the buffer mpv renders into.
    frame_ = QImage(pixels_.get(), pixels.width(), pixels.height(), qsizetype(stride_),
                    QImage::Format_RGB32);
    frame_.setDevicePixelRatio(ratio);
    return true;
}

bool VideoWidget::RenderFrame(const QSize& pixels) {
    int size[2] = {pixels.width(), pixels.height()};
    int blockForTargetTime = 0;  // otherwise each render waits ~40 ms on the UI thread
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SW_SIZE, size},
        {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>("bgr0")},
        {MPV_RENDER_PARAM_SW_STRIDE, &stride_},
        {MPV_RENDER_PARAM_SW_POINTER, pixels_.get()},
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &blockForTargetTime},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    // A render mpv refused left the buffer as it was: no new frame is
    // counted, and a paint at a new size shows black.
    if (mpv_render_context_render(render_.get(), params) < 0)
        return false;
    MakeOpaque(pixels);
    return true;
}

void VideoWidget::MakeOpaque(const QSize& pixels) {
    // mpv leaves the fourth byte of "bgr0" at 0, but Format_RGB32 means
    // 0xffRRGGBB: a backing store with alpha (Wayland's) would take the
    // picture as transparent and show it blended with what lies behind.
    for (int y = 0; y < pixels.height(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(pixels_.get() + stride_ * std::size_t(y));
        for (int x = 0; x < pixels.width(); ++x)
            row[x] |= kOpaque;
    }
}

void VideoWidget::Blank() {
    if (!pixels_)
        return;
    FillBlack(frame_.size());
    update();
}

void VideoWidget::FillBlack(const QSize& pixels) {
    for (int y = 0; y < pixels.height(); ++y)
        std::fill_n(reinterpret_cast<std::uint32_t*>(pixels_.get() + stride_ * std::size_t(y)),
                    pixels.width(), kOpaque);
}

void VideoWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = DevicePixels(painter.deviceTransform().map(QPointF(0, 0)));
    // A new size (or the first paint) needs the current frame rendered
    // again; otherwise the last rendered frame is shown as it is.
    const bool current = frame_.size() == pixels && frame_.devicePixelRatio() == ratio;
    const bool rendered = render_ && (current || RenderAt(pixels));
    if (!rendered) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    painter.drawImage(QPoint(0, 0), frame_);
    if (frameDue_) {
        frameDue_ = false;
        ++framesPainted_;
    }
}

void VideoWidget::SetFullScreen(bool fullScreen) {
    if (fullScreen == IsFullScreen())
        return;
    if (fullScreen) {
        geometryBeforeFullScreen_ = geometry();
        QScreen* screen = this->screen();
        setWindowFlag(Qt::Window, true);
        // Without a window manager nobody acts on the full-screen state:
        // the window covers its screen by its own geometry, and takes the
        // keyboard so that Esc reaches it.
        if (screen != nullptr)
            setGeometry(screen->geometry());
        showFullScreen();
        activateWindow();
    } else {
        setWindowFlag(Qt::Window, false);
        setGeometry(geometryBeforeFullScreen_);
        show();
    }
}

bool VideoWidget::IsFullScreen() const {
    return isWindow() && isFullScreen();
}

void VideoWidget::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && IsFullScreen()) {
        SetFullScreen(false);
        return;
    }
    QWidget::keyPressEvent(event);
}

void VideoWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (IsFullScreen()) {
        SetFullScreen(false);
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

}  // namespace lumora
