// Render-thread half of the video item: owns mpv's OpenGL render context and draws each frame.
#pragma once

#include <QQuickFramebufferObject>

#include <memory>

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
    QOpenGLFramebufferObject *createFramebufferObject(const QSize &size) override;
    void synchronize(QQuickFramebufferObject *item) override;

    bool createRenderContext();
    void destroyRenderContext();

    static void onMpvUpdate(void *context);
    static void *getProcAddress(void *context, const char *name);

private:
    std::shared_ptr<MpvRenderBridge> m_bridge;
    // Held while cached so the handle outlives the render context made for it.
    std::shared_ptr<MpvCore> m_core;
    // A core let go during synchronisation is destroyed at the next render, so mpv's shutdown
    // never holds up the blocked GUI thread.
    std::shared_ptr<MpvCore> m_retiredCore;
    mpv_render_context *m_renderContext = nullptr;
    bool m_warned = false;
    // Cached at synchronisation: render() must not touch the item, which the GUI thread may
    // be destroying meanwhile; the window outlives its renderers.
    QQuickWindow *m_window = nullptr;
};
