// Render-thread half of the video item: owns mpv's OpenGL render context and draws each frame.
#include "player/mpv/MpvVideoRenderer.h"

#include "core/Log.h"
#include "player/mpv/MpvCore.h"
#include "player/mpv/MpvRenderBridge.h"
#include "player/mpv/MpvVideoItem.h"

#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QQuickWindow>

namespace {
constexpr int kInternalFormatRgba8 = 0x8058; // GL_RGBA8
}

MpvVideoRenderer::MpvVideoRenderer(const MpvVideoItem *item, std::shared_ptr<MpvRenderBridge> bridge)
    : m_bridge(std::move(bridge)), m_window(item ? item->window() : nullptr)
{
}

MpvVideoRenderer::~MpvVideoRenderer()
{
    if (m_renderContext)
        destroyRenderContext();
    // Last owner of a core whose engine is gone: mpv shuts down here, after its render context.
    m_retiredCore.reset();
    m_core.reset();
}

void MpvVideoRenderer::synchronize(QQuickFramebufferObject *item)
{
    auto *videoItem = static_cast<MpvVideoItem *>(item);
    m_window = item->window();
    std::shared_ptr<MpvCore> core = videoItem->engineCore();
    mpv_handle *oldHandle = m_core ? m_core->handle() : nullptr;
    mpv_handle *newHandle = core ? core->handle() : nullptr;
    if (newHandle == oldHandle)
        return;
    TVX_LOG_INFO << "[render] mpv handle changed:" << static_cast<void *>(oldHandle) << "->"
                 << static_cast<void *>(newHandle);
    if (m_renderContext)
        destroyRenderContext();
    m_retiredCore = std::move(m_core);
    m_core = std::move(core);
}

void MpvVideoRenderer::destroyRenderContext()
{
    TVX_LOG_INFO << "[render] destroy render context";
    mpv_render_context_set_update_callback(m_renderContext, nullptr, nullptr);
    mpv_render_context_free(m_renderContext);
    m_renderContext = nullptr;
    m_bridge->post("notifyRenderContextLost");
}

bool MpvVideoRenderer::createRenderContext()
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
    mpv_opengl_init_params glInit{&MpvVideoRenderer::getProcAddress, gl};
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
    // The bridge lives as long as this renderer, and the callback is removed before the
    // render context is freed, so the context pointer never dangles.
    mpv_render_context_set_update_callback(m_renderContext, &MpvVideoRenderer::onMpvUpdate, m_bridge.get());
    TVX_LOG_INFO << "[render] update callback registered";
    m_bridge->post("notifyRenderContextReady");
    return true;
}

void *MpvVideoRenderer::getProcAddress(void *context, const char *name)
{
    auto *gl = static_cast<QOpenGLContext *>(context);
    if (!gl)
        return nullptr;
    return reinterpret_cast<void *>(gl->getProcAddress(QByteArray(name)));
}

void MpvVideoRenderer::onMpvUpdate(void *context)
{
    // mpv's own thread: nothing here may call into mpv or OpenGL.
    auto *bridge = static_cast<MpvRenderBridge *>(context);
    if (bridge)
        bridge->post("notifyVideoFrame");
}

QOpenGLFramebufferObject *MpvVideoRenderer::createFramebufferObject(const QSize &size)
{
    TVX_LOG_INFO << "[render] create FBO size=" << size;
    // mpv draws the picture without depth or stencil tests: the framebuffer needs neither buffer.
    QOpenGLFramebufferObjectFormat format;
    format.setAttachment(QOpenGLFramebufferObject::NoAttachment);
    format.setInternalTextureFormat(kInternalFormatRgba8);
    return new QOpenGLFramebufferObject(size, format);
}

void MpvVideoRenderer::render()
{
    m_retiredCore.reset();
    if (!m_core) {
        if (!m_warned) {
            TVX_LOG_WARN << "[render] no mpv handle, skip render";
            m_warned = true;
        }
    } else if (m_renderContext || createRenderContext()) {
        if (m_window)
            m_window->resetOpenGLState();
        QOpenGLFramebufferObject *fbo = framebufferObject();
        mpv_opengl_fbo target{static_cast<int>(fbo->handle()), fbo->width(), fbo->height(),
                              kInternalFormatRgba8};
        int flipY = 0;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_OPENGL_FBO, &target},
            {MPV_RENDER_PARAM_FLIP_Y, &flipY},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        mpv_render_context_render(m_renderContext, params);
    }
    if (m_window)
        m_window->resetOpenGLState();
}
