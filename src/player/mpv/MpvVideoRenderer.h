// Render-thread half of the video item: owns mpv's OpenGL render context and draws each frame.
#pragma once

#include <QColor>
#include <QOpenGLContext>
#include <QPointer>
#include <QQuickFramebufferObject>
#include <QSGNode>

#include <array>
#include <memory>
#include <vector>

#include <mpv/render_gl.h>

class MpvCore;
class MpvRenderBridge;
class MpvVideoItem;
class QQuickWindow;

class MpvVideoRenderer : public QQuickFramebufferObject::Renderer
{
public:
    MpvVideoRenderer(const MpvVideoItem *item, std::shared_ptr<MpvRenderBridge> bridge);
    ~MpvVideoRenderer() override;

    void render() override;
    // Draws the current picture into the bound context's framebuffer `fbo` of the given pixel
    // size; `flipY` for a window's own framebuffer, whose rows run bottom up; `skip` takes the
    // picture from mpv without drawing it. False when there is no core or no render context.
    bool renderInto(int fbo, int width, int height, bool flipY, bool skip);
    // The core drawn from (render thread); null before the first synchronisation.
    mpv_handle *handle() const;
    QOpenGLFramebufferObject *createFramebufferObject(const QSize &size) override;
    void synchronize(QQuickFramebufferObject *item) override;

    bool createRenderContext();

    static void onMpvUpdate(void *context);
    static void *getProcAddress(void *context, const char *name);

private:
    // A render context let go, with the core it was made for, which must outlive it.
    struct Retired
    {
        mpv_render_context *context;
        std::shared_ptr<MpvCore> core;
    };

    // Detaches the render context from mpv's updates and keeps it, with its core, for freeRetired().
    void retireRenderContext();
    // Render thread, the render context's OpenGL context current, the GUI thread not waiting.
    void freeRetired();

    std::shared_ptr<MpvRenderBridge> m_bridge;
    // Held while cached so the handle outlives the render context made for it.
    std::shared_ptr<MpvCore> m_core;
    std::vector<Retired> m_retired;
    mpv_render_context *m_renderContext = nullptr;
    // The OpenGL context the render context was made in (the window's; it outlives its nodes).
    QPointer<QOpenGLContext> m_gl;
    bool m_warned = false;
    // Cached at synchronisation: render() must not touch the item, which the GUI thread may
    // be destroying meanwhile; the window outlives its renderers.
    QQuickWindow *m_window = nullptr;
};

// The item's node when mpv draws straight into the window's framebuffer: the node itself draws
// nothing. Before the scene, on the render thread, it lets mpv fill the whole framebuffer: the
// picture at the item's place and the window's colour around it, so the window's own clear is
// turned off while the node lives. Where the item is hidden or out of the scene the node clears
// the framebuffer itself.
class MpvWindowVideoNode : public QSGNode
{
public:
    // Takes the renderer the item made for this node (createRenderer), which it owns from then on.
    MpvWindowVideoNode(MpvVideoItem *item, MpvVideoRenderer *renderer);
    ~MpvWindowVideoNode() override;

    MpvWindowVideoNode(const MpvWindowVideoNode &) = delete;
    MpvWindowVideoNode &operator=(const MpvWindowVideoNode &) = delete;

    // Render thread, GUI thread blocked.
    void synchronize(MpvVideoItem *item);

private:
    void captureWindow();
    void render();
    // The item's rectangle in the window's pixels, read from the scene graph as it stands for
    // this pass; false when the item is hidden or not in the scene.
    bool placement(QRectF &rect) const;
    void placePicture(const QRectF &rect);
    // The picture's place in whole pixels of the window, as mpv is told it.
    QRect pixelRect(const QRectF &rect) const;

    QQuickWindow *m_window;
    std::unique_ptr<MpvVideoRenderer> m_renderer;
    QSizeF m_itemSize;
    QSize m_windowPixels;
    qreal m_pixelRatio = 1;
    QColor m_background;
    // What the core was last told, so a pass that changes nothing sends nothing.
    mpv_handle *m_placedHandle = nullptr;
    std::array<double, 4> m_margins{{-1, -1, -1, -1}};
    QColor m_placedBackground;
    QMetaObject::Connection m_beforeSynchronizing;
    QMetaObject::Connection m_beforeRendering;
};
