// Render-thread half of the video item: owns mpv's OpenGL render context and draws each frame.
#include "player/mpv/MpvVideoRenderer.h"

#include "core/Log.h"
#include "player/mpv/MpvCore.h"
#include "player/mpv/MpvNames.h"
#include "player/mpv/MpvRenderBridge.h"
#include "player/mpv/MpvVideoItem.h"

#include <QMatrix4x4>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QQuickWindow>
#include <QSGClipNode>
#include <QSGOpacityNode>
#include <QSGTransformNode>
#include <QWindow>

#include <vector>

namespace {
constexpr int kInternalFormatRgba8 = 0x8058; // GL_RGBA8
// Beyond the engine's own names for its asynchronous writes, so their answers pass unlogged.
constexpr quint64 kPlacementReply = 1000;
} // namespace

MpvVideoRenderer::MpvVideoRenderer(const MpvVideoItem *item, std::shared_ptr<MpvRenderBridge> bridge)
    : m_bridge(std::move(bridge)), m_window(item ? item->window() : nullptr)
{
}

MpvVideoRenderer::~MpvVideoRenderer()
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
    // Freed at the next render: mpv's free waits for its video thread, which must not hold up
    // the blocked GUI thread.
    if (m_renderContext)
        retireRenderContext();
    else
        MpvCore::release(std::move(m_core));
    m_core = std::move(core);
}

void MpvVideoRenderer::retireRenderContext()
{
    TVX_LOG_INFO << "[render] destroy render context";
    // No update may reach the bridge from here on; the core stays with its render context.
    mpv_render_context_set_update_callback(m_renderContext, nullptr, nullptr);
    m_retired.push_back({m_renderContext, std::move(m_core)});
    m_renderContext = nullptr;
    m_bridge->post("notifyRenderContextLost");
}

void MpvVideoRenderer::freeRetired()
{
    for (Retired &retired : m_retired) {
        mpv_render_context_free(retired.context);
        MpvCore::release(std::move(retired.core));
    }
    m_retired.clear();
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
    m_gl = gl;
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
    QOpenGLFramebufferObject *fbo = framebufferObject();
    renderInto(static_cast<int>(fbo->handle()), fbo->width(), fbo->height(), false, false);
}

mpv_handle *MpvVideoRenderer::handle() const
{
    return m_core ? m_core->handle() : nullptr;
}

bool MpvVideoRenderer::renderInto(int fbo, int width, int height, bool flipY, bool skip)
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

MpvWindowVideoNode::MpvWindowVideoNode(MpvVideoItem *item, MpvVideoRenderer *renderer)
    : m_window(item->window()), m_renderer(renderer)
{
    TVX_LOG_INFO << "[render] picture drawn straight into the window";
    // Both signals come on the render thread (the GUI thread under the basic loop), where this
    // node is also destroyed, so the connections never outlive it.
    m_beforeSynchronizing = QObject::connect(
        m_window, &QQuickWindow::beforeSynchronizing, m_window, [this]() { captureWindow(); },
        Qt::DirectConnection);
    m_beforeRendering = QObject::connect(
        m_window, &QQuickWindow::beforeRendering, m_window, [this]() { render(); }, Qt::DirectConnection);
    // Nodes are made and destroyed while the GUI thread is blocked, and the window hands its
    // clear setting to the renderer at the end of that same synchronisation.
    m_window->setClearBeforeRendering(false);
    captureWindow();
}

MpvWindowVideoNode::~MpvWindowVideoNode()
{
    QObject::disconnect(m_beforeSynchronizing);
    QObject::disconnect(m_beforeRendering);
    m_window->setClearBeforeRendering(true);
}

void MpvWindowVideoNode::synchronize(MpvVideoItem *item)
{
    m_renderer->synchronize(item);
    m_itemSize = item->size();
    // The item asks for a pass when mpv has a new picture, and a synchronisation that changed
    // no node of the scene would have the render loop skip that pass.
    markDirty(QSGNode::DirtyMaterial);
}

void MpvWindowVideoNode::captureWindow()
{
    m_pixelRatio = m_window->effectiveDevicePixelRatio();
    m_windowPixels = m_window->size() * m_pixelRatio;
    m_background = m_window->color();
}

bool MpvWindowVideoNode::placement(QRectF &rect) const
{
    std::vector<const QSGNode *> chain;
    const QSGNode *node = parent();
    for (; node && node->type() != QSGNode::RootNodeType; node = node->parent())
        chain.push_back(node);
    // One taken out of the scene has a chain that never reaches the root.
    if (!node)
        return false;
    QMatrix4x4 toScene;
    qreal opacity = 1;
    QRectF visible(QPointF(0, 0), QSizeF(m_windowPixels) / m_pixelRatio);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        switch ((*it)->type()) {
        case QSGNode::TransformNodeType:
            toScene = toScene * static_cast<const QSGTransformNode *>(*it)->matrix();
            break;
        case QSGNode::OpacityNodeType:
            opacity *= static_cast<const QSGOpacityNode *>(*it)->opacity();
            break;
        case QSGNode::ClipNodeType:
            // mpv cannot crop to a clipping ancestor: the picture is fitted into what shows.
            visible &= toScene.mapRect(static_cast<const QSGClipNode *>(*it)->clipRect());
            break;
        default:
            break;
        }
    }
    // A hidden item keeps its nodes under a fully transparent one.
    if (opacity < 0.001)
        return false;
    const QRectF scene = toScene.mapRect(QRectF(QPointF(0, 0), m_itemSize)) & visible;
    rect = QRectF(scene.topLeft() * m_pixelRatio, scene.size() * m_pixelRatio);
    return !rect.isEmpty();
}

QRect MpvWindowVideoNode::pixelRect(const QRectF &rect) const
{
    const QRect window(QPoint(0, 0), m_windowPixels);
    return QRect(QPoint(qRound(rect.left()), qRound(rect.top())),
                 QPoint(qRound(rect.right()) - 1, qRound(rect.bottom()) - 1))
        .intersected(window);
}

void MpvWindowVideoNode::placePicture(const QRectF &rect)
{
    mpv_handle *handle = m_renderer->handle();
    if (!handle)
        return;
    const double width = m_windowPixels.width();
    const double height = m_windowPixels.height();
    if (width <= 0 || height <= 0)
        return;
    // mpv truncates each margin to whole pixels: half a pixel more keeps the count exact.
    const auto ratio = [](double pixels, double whole) { return qBound(0.0, (pixels + 0.5) / whole, 1.0); };
    const QRect picture = pixelRect(rect);
    const std::array<double, 4> margins{{
        ratio(picture.left(), width),
        ratio(width - picture.right() - 1, width),
        ratio(picture.top(), height),
        ratio(height - picture.bottom() - 1, height),
    }};
    static const char *const kMarginNames[] = {mpvname::kVideoMarginLeft, mpvname::kVideoMarginRight,
                                               mpvname::kVideoMarginTop, mpvname::kVideoMarginBottom};
    const bool newCore = handle != m_placedHandle;
    // Asynchronous: mpv's video thread may be waiting on this thread, and the place a changed
    // margin gives the picture shows from the next pass on.
    // A request mpv refuses (its queue full under load) is asked again at the next pass.
    for (size_t i = 0; i < margins.size(); ++i) {
        if (newCore || !qFuzzyCompare(1.0 + margins[i], 1.0 + m_margins[i])) {
            double value = margins[i];
            const bool sent = mpv_set_property_async(handle, kPlacementReply, kMarginNames[i],
                                                     MPV_FORMAT_DOUBLE, &value) >= 0;
            m_margins[i] = sent ? margins[i] : -1;
        }
    }
    if (newCore) {
        // Subtitles stay on the picture: mpv would otherwise place them in the whole window.
        const char *no = mpvname::kNo;
        mpv_set_property_async(handle, kPlacementReply, mpvname::kSubtitleUseMargins, MPV_FORMAT_STRING, &no);
    }
    if (newCore || m_background != m_placedBackground) {
        // What mpv fills around the picture is the page's own background.
        QByteArray name = m_background.name(QColor::HexArgb).toLatin1();
        char *data = name.data();
        mpv_set_property_async(handle, kPlacementReply, mpvname::kBackground, MPV_FORMAT_STRING, &data);
        m_placedBackground = m_background;
    }
    m_placedHandle = handle;
}

void MpvWindowVideoNode::render()
{
    QOpenGLContext *gl = QOpenGLContext::currentContext();
    if (!gl)
        return;
    const int fbo = static_cast<int>(gl->defaultFramebufferObject());
    QRectF rect;
    const bool shown = placement(rect);
    if (shown)
        placePicture(rect);
    // Hidden, the picture is still taken from mpv, undrawn: mpv's video thread waits for every
    // picture it hands over.
    const bool drawn =
        m_renderer->renderInto(fbo, m_windowPixels.width(), m_windowPixels.height(), true, !shown) && shown;
    // The window's own clear stays off while this node lives, so this pass clears what lies
    // outside the picture's place itself: mpv learns of a new place only after this pass and
    // draws it where the picture was, and a pixel no pass writes would keep that picture.
    m_window->resetOpenGLState();
    QOpenGLFunctions *f = gl->functions();
    f->glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(fbo));
    f->glClearColor(float(m_background.redF()), float(m_background.greenF()), float(m_background.blueF()),
                    float(m_background.alphaF()));
    if (!drawn) {
        // Nothing of mpv's shows.
        f->glClear(GL_COLOR_BUFFER_BIT);
        return;
    }
    const QRect picture = pixelRect(rect);
    const int width = m_windowPixels.width();
    const int height = m_windowPixels.height();
    // In the framebuffer's rows, which run bottom up.
    const int bottomRow = height - picture.bottom() - 1;
    const QRect around[] = {
        QRect(0, 0, width, bottomRow),                          // below the picture
        QRect(0, height - picture.top(), width, picture.top()), // above it
        QRect(0, bottomRow, picture.left(), picture.height()),  // left of it
        QRect(picture.right() + 1, bottomRow, width - picture.right() - 1, picture.height()), // right
    };
    f->glEnable(GL_SCISSOR_TEST);
    for (const QRect &strip : around) {
        if (strip.width() <= 0 || strip.height() <= 0)
            continue;
        f->glScissor(strip.x(), strip.y(), strip.width(), strip.height());
        f->glClear(GL_COLOR_BUFFER_BIT);
    }
    f->glDisable(GL_SCISSOR_TEST);
}
