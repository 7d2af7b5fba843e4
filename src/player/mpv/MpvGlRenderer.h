// mpv's OpenGL renderer for one video item (render thread): the engine's core it draws, the
// render context made for that core, and the draw into a framebuffer. Two thin adapters put it to
// use: MpvVideoRenderer draws into the texture of the item's framebuffer object, MpvWindowVideoNode
// straight into the window's own framebuffer.
#pragma once

#include <QOpenGLContext>
#include <QPointer>

#include <memory>
#include <vector>

#include <mpv/render_gl.h>

class MpvCore;
class MpvRenderBridge;
class MpvVideoItem;
class QQuickWindow;

class MpvGlRenderer
{
public:
    MpvGlRenderer(QQuickWindow *window, std::shared_ptr<MpvRenderBridge> bridge);
    // Frees the render context in the OpenGL context it was made in, then lets go of the core.
    ~MpvGlRenderer();

    MpvGlRenderer(const MpvGlRenderer &) = delete;
    MpvGlRenderer &operator=(const MpvGlRenderer &) = delete;

    // Render thread, GUI thread blocked: takes the item's window and its engine's current core.
    void synchronize(const MpvVideoItem *item);
    // Draws the current picture into the bound context's framebuffer `fbo` of the given pixel
    // size; `flipY` for a window's own framebuffer, whose rows run bottom up; `skip` takes the
    // picture from mpv without drawing it. False when there is no core or no render context.
    bool renderInto(int fbo, int width, int height, bool flipY, bool skip);
    // The core drawn from; null before the first synchronisation.
    mpv_handle *handle() const;
    // Counts the cores taken so far: a new core may get the address of one destroyed before it.
    quint64 coreSerial() const { return m_coreSerial; }

private:
    // A render context let go, with the core it was made for, which must outlive it.
    struct Retired
    {
        mpv_render_context *context;
        std::shared_ptr<MpvCore> core;
    };

    bool createRenderContext();
    // Detaches the render context from mpv's updates and keeps it, with its core, for freeRetired().
    void retireRenderContext();
    // The render context's OpenGL context current.
    void freeRetired();

    static void onMpvUpdate(void *context);
    static void *getProcAddress(void *context, const char *name);

    std::shared_ptr<MpvRenderBridge> m_bridge;
    // Held while cached so the handle outlives the render context made for it.
    std::shared_ptr<MpvCore> m_core;
    quint64 m_coreSerial = 0;
    std::vector<Retired> m_retired;
    mpv_render_context *m_renderContext = nullptr;
    // The OpenGL context the render context was made in (the window's; it outlives its nodes).
    QPointer<QOpenGLContext> m_gl;
    bool m_warned = false;
    // Cached at synchronisation: a render must not touch the item, which the GUI thread may be
    // destroying meanwhile; the window outlives its renderers.
    QQuickWindow *m_window;
};
