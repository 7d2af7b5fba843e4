// mpv's OpenGL renderer for one video item: the render context, its lifetime and the draw.
#include "player/mpv/MpvGlRenderer.h"

#include "core/Log.h"
#include "player/mpv/MpvCore.h"
#include "player/mpv/MpvRenderBridge.h"
#include "player/mpv/MpvVideoItem.h"

#include <QOffscreenSurface>
#include <QQuickWindow>
#include <QWindow>

namespace {
constexpr int kInternalFormatRgba8 = 0x8058; // GL_RGBA8
} // namespace

MpvGlRenderer::MpvGlRenderer(QQuickWindow *window, std::shared_ptr<MpvRenderBridge> bridge)
    : m_bridge(std::move(bridge)), m_window(window)
{
}

MpvGlRenderer::~MpvGlRenderer()
{
    if (m_renderContext)
        retireRenderContext();
    if (!m_retired.empty()) {
        // Qt may tear the nodes of a closed window down on a fallback surface it could not make
        // current, or with the context bound to a window that is gone: mpv frees its textures
        // and buffers in the context it was made in, on a surface of this renderer's own.
        QOpenGLContext *const previous = QOpenGLContext::currentContext();
        QSurface *const previousSurface = previous ? previous->surface() : nullptr;
        const auto *previousWindow = previousSurface && previousSurface->surfaceClass() == QSurface::Window
                                         ? static_cast<QWindow *>(previousSurface)
                                         : nullptr;
        std::unique_ptr<QOffscreenSurface> fallback;
        if (m_gl && (previous != m_gl || !previousSurface || (previousWindow && !previousWindow->handle()))) {
            fallback = std::make_unique<QOffscreenSurface>();
            fallback->setFormat(m_gl->format());
            fallback->create();
            if (!m_gl->makeCurrent(fallback.get()))
                TVX_LOG_WARN << "[render] no OpenGL context for freeing the render context";
        }
        freeRetired();
        if (fallback) {
            if (previous && previousSurface && previous == m_gl && !previousWindow)
                m_gl->makeCurrent(previousSurface);
            else if (QOpenGLContext::currentContext() == m_gl)
                m_gl->doneCurrent();
        }
    }
    // Last owner of a core whose engine is gone: mpv shuts down on a worker thread, after its
    // render context.
    MpvCore::release(std::move(m_core));
}

void MpvGlRenderer::synchronize(const MpvVideoItem *item)
{
    m_window = item->window();
    std::shared_ptr<MpvCore> core = item->engineCore();
    mpv_handle *oldHandle = m_core ? m_core->handle() : nullptr;
    mpv_handle *newHandle = core ? core->handle() : nullptr;
    if (newHandle == oldHandle)
        return;
    TVX_LOG_INFO << "[render] mpv handle changed:" << static_cast<void *>(oldHandle) << "->"
                 << static_cast<void *>(newHandle);
    // Freed at the next render: mpv's free waits for its video thread, which must not hold up
    // the blocked GUI thread.
    if (m_renderContext)
        retireRenderContext();
    else
        MpvCore::release(std::move(m_core));
    m_core = std::move(core);
    ++m_coreSerial;
}

void MpvGlRenderer::retireRenderContext()
{
    TVX_LOG_INFO << "[render] destroy render context";
    // No update may reach the bridge from here on; the core stays with its render context.
    mpv_render_context_set_update_callback(m_renderContext, nullptr, nullptr);
    m_retired.push_back({m_renderContext, std::move(m_core)});
    m_renderContext = nullptr;
    m_bridge->post("notifyRenderContextLost");
}

void MpvGlRenderer::freeRetired()
{
    for (Retired &retired : m_retired) {
        mpv_render_context_free(retired.context);
        MpvCore::release(std::move(retired.core));
    }
    m_retired.clear();
}

bool MpvGlRenderer::createRenderContext()
{
    if (!m_core) {
        TVX_LOG_WARN << "[render] createRenderContext failed: mpv handle is null";
        return false;
    }
    QOpenGLContext *gl = QOpenGLContext::currentContext();
    if (!gl) {
        TVX_LOG_WARN << "[render] createRenderContext failed: current OpenGL context is null";
        return false;
    }
    mpv_opengl_init_params glInit{&MpvGlRenderer::getProcAddress, gl};
    char apiType[] = MPV_RENDER_API_TYPE_OPENGL;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, apiType},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context *context = nullptr;
    if (mpv_render_context_create(&context, m_core->handle(), params) < 0 || !context) {
        m_renderContext = nullptr;
        return false;
    }
    m_renderContext = context;
    m_gl = gl;
    // The bridge lives as long as this renderer, and the callback is removed before the
    // render context is freed, so the context pointer never dangles.
    mpv_render_context_set_update_callback(m_renderContext, &MpvGlRenderer::onMpvUpdate, m_bridge.get());
    TVX_LOG_INFO << "[render] update callback registered";
    m_bridge->post("notifyRenderContextReady");
    return true;
}

void *MpvGlRenderer::getProcAddress(void *context, const char *name)
{
    auto *gl = static_cast<QOpenGLContext *>(context);
    if (!gl)
        return nullptr;
    return reinterpret_cast<void *>(gl->getProcAddress(QByteArray(name)));
}

void MpvGlRenderer::onMpvUpdate(void *context)
{
    // mpv's own thread: nothing here may call into mpv or OpenGL.
    auto *bridge = static_cast<MpvRenderBridge *>(context);
    if (bridge)
        bridge->post("notifyVideoFrame");
}

mpv_handle *MpvGlRenderer::handle() const
{
    return m_core ? m_core->handle() : nullptr;
}

bool MpvGlRenderer::renderInto(int fbo, int width, int height, bool flipY, bool skip)
{
    freeRetired();
    bool drawn = false;
    if (!m_core) {
        if (!m_warned) {
            TVX_LOG_WARN << "[render] no mpv handle, skip render";
            m_warned = true;
        }
    } else if (m_renderContext || createRenderContext()) {
        if (m_window)
            m_window->resetOpenGLState();
        mpv_opengl_fbo target{fbo, width, height, kInternalFormatRgba8};
        int flip = flipY ? 1 : 0;
        int skipRendering = skip ? 1 : 0;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_OPENGL_FBO, &target},
            {MPV_RENDER_PARAM_FLIP_Y, &flip},
            {MPV_RENDER_PARAM_SKIP_RENDERING, &skipRendering},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        mpv_render_context_render(m_renderContext, params);
        drawn = true;
    }
    if (m_window)
        m_window->resetOpenGLState();
    return drawn;
}
