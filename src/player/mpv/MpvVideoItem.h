// The Qt Quick item that shows the picture of one MpvEngine.
#pragma once

#include <QPointer>
#include <QQuickFramebufferObject>

#include <memory>

class MpvCore;
class MpvEngine;
class MpvGlRenderer;
class MpvRenderBridge;

class MpvVideoItem : public QQuickFramebufferObject
{
    Q_OBJECT
    Q_PROPERTY(QObject *engine READ engine WRITE setEngine NOTIFY engineChanged)
    Q_PROPERTY(bool renderContextReady READ renderContextReady NOTIFY renderContextReadyChanged)
    // mpv draws straight into the window's framebuffer beneath the scene instead of into a
    // texture the scene then copies: one such item per window (a second draws into a texture,
    // with a warning), with nothing of the scene drawn behind it. Read when the item's node is
    // made (first shown in a window); a change while the node lives is refused with a warning.
    Q_PROPERTY(
        bool drawsIntoWindow READ drawsIntoWindow WRITE setDrawsIntoWindow NOTIFY drawsIntoWindowChanged)

public:
    explicit MpvVideoItem(QQuickItem *parent = nullptr);
    ~MpvVideoItem() override;

    Renderer *createRenderer() const override;
    // Render thread, GUI thread blocked: mpv's renderer for either adapter.
    std::unique_ptr<MpvGlRenderer> makeGlRenderer() const;
    // Render thread, GUI thread blocked.
    QSGNode *updatePaintNode(QSGNode *node, UpdatePaintNodeData *data) override;

    QObject *engine() const { return m_engine.data(); }
    void setEngine(QObject *engine);
    bool renderContextReady() const { return m_renderContextReady; }
    bool drawsIntoWindow() const { return m_drawsIntoWindow; }
    void setDrawsIntoWindow(bool draws);
    MpvEngine *mpvEngine() const;

    // Render thread, during synchronisation (GUI thread blocked): the bound engine's core.
    std::shared_ptr<MpvCore> engineCore() const;

    Q_INVOKABLE void notifyRenderContextReady();
    Q_INVOKABLE void notifyRenderContextLost();
    // GUI thread, posted from mpv's update callback: a new picture to draw.
    Q_INVOKABLE void notifyVideoFrame();

protected:
    void itemChange(ItemChange change, const ItemChangeData &value) override;

signals:
    void engineChanged();
    void renderContextReadyChanged();
    void drawsIntoWindowChanged();

private:
    // Guarded: QML may destroy the engine before the item.
    QPointer<QObject> m_engine;
    bool m_renderContextReady = false;
    bool m_drawsIntoWindow = false;
    // The way the current node draws (render thread, GUI thread blocked): kept until the scene
    // graph drops the node.
    bool m_nodeDrawsIntoWindow = false;
    // Whether the item has a node in its window (written while the GUI thread is blocked in
    // synchronisation; cleared on the GUI thread when the item leaves the window).
    bool m_hasNode = false;
    std::shared_ptr<MpvRenderBridge> m_bridge;
    QMetaObject::Connection m_engineDestroyed;
};
