// The video item's renderer when mpv draws into the texture of the item's framebuffer object:
// the adapter of MpvGlRenderer to QQuickFramebufferObject.
#pragma once

#include <QQuickFramebufferObject>

#include <memory>

class MpvGlRenderer;

class MpvVideoRenderer : public QQuickFramebufferObject::Renderer
{
public:
    explicit MpvVideoRenderer(std::unique_ptr<MpvGlRenderer> renderer);
    ~MpvVideoRenderer() override;

    // Render thread, GUI thread blocked.
    void synchronize(QQuickFramebufferObject *item) override;
    QOpenGLFramebufferObject *createFramebufferObject(const QSize &size) override;
    void render() override;

private:
    std::unique_ptr<MpvGlRenderer> m_renderer;
};
