// The video item's node when mpv draws straight into the window's framebuffer.
#include "player/mpv/MpvWindowVideoNode.h"

#include "core/Log.h"
#include "player/MpvEngine.h"
#include "player/mpv/MpvGlRenderer.h"
#include "player/mpv/MpvNames.h"
#include "player/mpv/MpvVideoItem.h"

#include <QMatrix4x4>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>
#include <QSGClipNode>
#include <QSGOpacityNode>
#include <QSGTransformNode>
#include <QSet>

#include <mutex>
#include <vector>

namespace {
// Beyond the engine's own names for its asynchronous writes, so their answers pass unlogged.
constexpr quint64 kPlacementReply = 1000;
} // namespace

namespace {

// The windows a node draws into; nodes of different windows live on different render threads.
std::mutex &claimsMutex()
{
    static std::mutex mutex;
    return mutex;
}

QSet<const QQuickWindow *> &claimedWindows()
{
    static QSet<const QQuickWindow *> windows;
    return windows;
}

} // namespace

MpvWindowVideoNode *MpvWindowVideoNode::create(MpvVideoItem *item)
{
    QQuickWindow *window = item->window();
    {
        std::lock_guard<std::mutex> lock(claimsMutex());
        if (claimedWindows().contains(window)) {
            TVX_LOG_WARN
                << "[render] another surface already draws into this window: this one draws into a texture";
            return nullptr;
        }
        claimedWindows().insert(window);
    }
    return new MpvWindowVideoNode(item, window->clearBeforeRendering());
}

MpvWindowVideoNode::MpvWindowVideoNode(MpvVideoItem *item, bool clearBefore)
    : m_window(item->window()), m_clearBefore(clearBefore), m_renderer(item->makeGlRenderer())
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
    m_window->setClearBeforeRendering(m_clearBefore);
    std::lock_guard<std::mutex> lock(claimsMutex());
    claimedWindows().remove(m_window);
}

void MpvWindowVideoNode::synchronize(MpvVideoItem *item)
{
    m_renderer->synchronize(item);
    m_itemSize = item->size();
    if (const MpvEngine *engine = item->mpvEngine()) {
        m_fill = engine->aspectMode() == QLatin1String("fill");
        m_sideways = engine->videoRotation() % 180 != 0;
        m_aspectWrites = engine->aspectWrites();
    } else {
        m_fill = false;
    }
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
    const bool newCore = m_renderer->coreSerial() != m_placedCore;
    // Asynchronous: mpv's video thread may be waiting on this thread, and the place a changed
    // margin gives the picture shows from the next pass on. A request mpv refuses (its queue
    // full under load) is asked again at the next pass.
    for (size_t i = 0; i < margins.size(); ++i) {
        if (newCore || !qFuzzyCompare(1.0 + margins[i], 1.0 + m_margins[i])) {
            double value = margins[i];
            const bool sent = mpv_set_property_async(handle, kPlacementReply, kMarginNames[i],
                                                     MPV_FORMAT_DOUBLE, &value) >= 0;
            m_margins[i] = sent ? margins[i] : -1;
        }
    }
    // A new core is placed in full once it took every request.
    bool placed = true;
    if (newCore) {
        // Subtitles stay on the picture: mpv would otherwise place them in the whole window.
        const char *no = mpvname::kNo;
        placed = mpv_set_property_async(handle, kPlacementReply, mpvname::kSubtitleUseMargins,
                                        MPV_FORMAT_STRING, &no) >= 0;
    }
    if (newCore || m_background != m_placedBackground) {
        // What mpv fills around the picture is the page's own background.
        QByteArray name = m_background.name(QColor::HexArgb).toLatin1();
        char *data = name.data();
        const int sent =
            mpv_set_property_async(handle, kPlacementReply, mpvname::kBackground, MPV_FORMAT_STRING, &data);
        if (sent >= 0)
            m_placedBackground = m_background;
        else
            placed = false;
    }
    if (m_fill && picture.height() > 0 && picture.width() > 0) {
        // The aspect is the picture's before mpv turns it, so a sideways picture takes the
        // place's turned.
        const double aspect = m_sideways ? double(picture.height()) / picture.width()
                                         : double(picture.width()) / picture.height();
        if (newCore || m_aspectWrites != m_placedAspectWrites || !qFuzzyCompare(aspect, m_placedAspect)) {
            const char *yes = "yes";
            QByteArray value = QByteArray::number(aspect, 'f', 6);
            char *data = value.data();
            if (mpv_set_property_async(handle, kPlacementReply, mpvname::kKeepAspect, MPV_FORMAT_STRING,
                                       &yes) >= 0 &&
                mpv_set_property_async(handle, kPlacementReply, mpvname::kVideoAspectOverride,
                                       MPV_FORMAT_STRING, &data) >= 0) {
                m_placedAspectWrites = m_aspectWrites;
                m_placedAspect = aspect;
            } else {
                placed = false;
            }
        }
    }
    if (placed)
        m_placedCore = m_renderer->coreSerial();
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
