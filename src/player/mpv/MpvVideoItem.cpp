// The Qt Quick item that shows the picture of one MpvEngine.
#include "player/mpv/MpvVideoItem.h"

#include "core/Log.h"
#include "player/MpvEngine.h"
#include "player/mpv/MpvGlRenderer.h"
#include "player/mpv/MpvRenderBridge.h"
#include "player/mpv/MpvVideoRenderer.h"
#include "player/mpv/MpvWindowVideoNode.h"

#include <QQuickWindow>
#include <QSGSimpleTextureNode>
#include <QSGTexture>

MpvVideoItem::MpvVideoItem(QQuickItem *parent)
    : QQuickFramebufferObject(parent), m_bridge(std::make_shared<MpvRenderBridge>(this))
{
}

MpvVideoItem::~MpvVideoItem()
{
    m_bridge->detach();
}

QQuickFramebufferObject::Renderer *MpvVideoItem::createRenderer() const
{
    return new MpvVideoRenderer(makeGlRenderer());
}

std::unique_ptr<MpvGlRenderer> MpvVideoItem::makeGlRenderer() const
{
    TVX_LOG_INFO << "[render] createRenderer";
    return std::make_unique<MpvGlRenderer>(window(), m_bridge);
}

MpvEngine *MpvVideoItem::mpvEngine() const
{
    return qobject_cast<MpvEngine *>(m_engine.data());
}

std::shared_ptr<MpvCore> MpvVideoItem::engineCore() const
{
    const MpvEngine *engine = mpvEngine();
    return engine ? engine->core() : nullptr;
}

void MpvVideoItem::setEngine(QObject *engine)
{
    if (engine == m_engine.data())
        return;
    TVX_LOG_INFO << "[render] setEngine" << engine;
    disconnect(m_engineDestroyed);
    m_engine = engine;
    if (m_renderContextReady) {
        m_renderContextReady = false;
        emit renderContextReadyChanged();
    }
    if (MpvEngine *mpv = mpvEngine())
        mpv->initialize();
    if (engine) {
        // The next synchronisation then sees no handle and releases the render context.
        m_engineDestroyed = connect(engine, &QObject::destroyed, this, [this]() {
            if (m_renderContextReady) {
                m_renderContextReady = false;
                emit renderContextReadyChanged();
            }
            update();
        });
    }
    emit engineChanged();
    update();
}

void MpvVideoItem::setDrawsIntoWindow(bool draws)
{
    if (draws == m_drawsIntoWindow)
        return;
    // The node of either way is Qt's to keep and drop: the way is chosen once per node.
    if (m_hasNode && window()) {
        TVX_LOG_WARN << "[render] drawsIntoWindow cannot change while the item is shown in a window; kept"
                     << m_drawsIntoWindow;
        return;
    }
    m_drawsIntoWindow = draws;
    emit drawsIntoWindowChanged();
}

void MpvVideoItem::notifyRenderContextReady()
{
    if (m_renderContextReady)
        return;
    m_renderContextReady = true;
    emit renderContextReadyChanged();
}

void MpvVideoItem::notifyRenderContextLost()
{
    if (!m_renderContextReady)
        return;
    m_renderContextReady = false;
    emit renderContextReadyChanged();
}

void MpvVideoItem::notifyVideoFrame()
{
    // The engine's held progress goes out first, so the page's change and the picture share
    // the window's next pass.
    if (MpvEngine *engine = mpvEngine())
        engine->videoFrameArrived();
    update();
}

void MpvVideoItem::itemChange(ItemChange change, const ItemChangeData &value)
{
    // Qt drops the node of an item that leaves its window.
    if (change == ItemSceneChange)
        m_hasNode = false;
    QQuickFramebufferObject::itemChange(change, value);
}

QSGNode *MpvVideoItem::updatePaintNode(QSGNode *node, UpdatePaintNodeData *data)
{
    MpvWindowVideoNode *direct = nullptr;
    if (!node) {
        m_nodeDrawsIntoWindow = m_drawsIntoWindow;
        if (m_nodeDrawsIntoWindow) {
            direct = MpvWindowVideoNode::create(this);
            m_nodeDrawsIntoWindow = direct != nullptr;
        }
    }
    m_hasNode = true;
    if (m_nodeDrawsIntoWindow) {
        if (!direct)
            direct = static_cast<MpvWindowVideoNode *>(node);
        direct->synchronize(this);
        return direct;
    }
    auto *textureNode =
        static_cast<QSGSimpleTextureNode *>(QQuickFramebufferObject::updatePaintNode(node, data));
    QSGTexture *texture = textureNode ? textureNode->texture() : nullptr;
    // Qt wraps every framebuffer's texture as one with an alpha channel, which puts the picture
    // among the blended items: the software rasteriser then reads back and blends the whole video
    // area every frame. mpv's picture is opaque, so the same texture is wrapped again without alpha
    // (the node owns and deletes whichever wrapper it holds; a new framebuffer brings a new one).
    if (texture && texture->hasAlphaChannel() && window()) {
        auto id = uint(texture->textureId());
        QSGTexture *opaque = window()->createTextureFromNativeObject(QQuickWindow::NativeObjectTexture, &id,
                                                                     0, texture->textureSize(), {});
        textureNode->setTexture(opaque);
        delete texture;
    }
    return textureNode;
}
