#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include <QImage>
#include <QRect>
#include <QWidget>

struct mpv_handle;
struct mpv_render_context;

namespace lumora {

// The player's picture: mpv's software renderer draws each frame into an
// image that paintEvent shows, so a grab of the widget shows the video on
// every platform (offscreen, X11, Wayland).
//
// Threads: the UI thread only. mpv's render-update callback only queues a
// call to the UI thread.
class VideoWidget : public QWidget {
    Q_OBJECT

public:
    explicit VideoWidget(QWidget* parent = nullptr);
    ~VideoWidget() override;

    // Creates the render context on the core through the named render API
    // ("sw", mpv's software renderer); false when mpv refuses. Must happen
    // before the first stream plays.
    bool Attach(mpv_handle* mpv, const std::string& renderApi = "sw");
    // Frees the render context; the core must still exist. Idempotent.
    void Detach();

    // Full screen is a top-level window of its own; leaving it puts the
    // widget back into its parent at its old place.
    void SetFullScreen(bool fullScreen);
    bool IsFullScreen() const;

    // New video frames rendered since Attach (into the widget's picture,
    // as soon as mpv offers them) and painted (shown on screen; a frame
    // counts once even when an expose paints it again).
    std::int64_t FramesRendered() const { return framesRendered_; }
    std::int64_t FramesPainted() const { return framesPainted_; }

    // Shows black until mpv renders its next frame.
    void Blank();

signals:
    // A new video frame was rendered; it is painted at the next repaint.
    void FrameRendered();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    struct RenderContextDeleter {
        void operator()(mpv_render_context* context) const;
    };
    struct AlignedFree {
        void operator()(unsigned char* bytes) const;
    };

    static void OnRenderUpdate(void* context);
    // Opaque black over the picture buffer's first `pixels`.
    void FillBlack(const QSize& pixels);
    void ProcessRenderUpdate();
    // The widget's top-left corner in device pixels of its window.
    QPointF OriginInWindow() const;
    // The device pixels the widget covers with its top-left corner at
    // `origin`: each edge rounded as Qt rounds a fill, so that on a screen
    // scaled to 150 % the picture covers exactly the pixels that its frame
    // surrounds, with no strip left over.
    QSize DevicePixels(QPointF origin) const;
    bool RenderAt(const QSize& pixels);
    bool EnsureFrameBuffer(const QSize& pixels);
    bool RenderFrame(const QSize& pixels);
    void MakeOpaque(const QSize& pixels);

    std::unique_ptr<mpv_render_context, RenderContextDeleter> render_;
    std::atomic<bool> updateQueued_{false};
    bool frameDue_ = false;
    std::int64_t framesRendered_ = 0;
    std::int64_t framesPainted_ = 0;
    // 64-byte aligned rows, as mpv's renderer prefers them.
    std::unique_ptr<unsigned char, AlignedFree> pixels_;
    std::size_t stride_ = 0;
    QImage frame_;
    QRect geometryBeforeFullScreen_;
};

}  // namespace lumora
