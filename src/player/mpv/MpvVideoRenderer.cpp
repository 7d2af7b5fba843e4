// The video item's renderer when mpv draws into the texture of the item's framebuffer object.
#include "player/mpv/MpvVideoRenderer.h"

#include "core/Log.h"
#include "player/mpv/MpvGlRenderer.h"
#include "player/mpv/MpvVideoItem.h"

#include <QOpenGLFramebufferObject>

namespace {
constexpr int kInternalFormatRgba8 = 0x8058; // GL_RGBA8
} // namespace

MpvVideoRenderer::MpvVideoRenderer(std::unique_ptr<MpvGlRenderer> renderer) : m_renderer(std::move(renderer))
{
}

MpvVideoRenderer::~MpvVideoRenderer() = default;

void MpvVideoRenderer::synchronize(QQuickFramebufferObject *item)
{
    m_renderer->synchronize(static_cast<const MpvVideoItem *>(item));
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
    QOpenGLFramebufferObject *fbo = framebufferObject();
    m_renderer->renderInto(static_cast<int>(fbo->handle()), fbo->width(), fbo->height(), false, false);
}
