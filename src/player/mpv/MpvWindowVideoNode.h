// The video item's node when mpv draws straight into the window's framebuffer: the adapter of
// MpvGlRenderer to the window.
#pragma once

#include <QColor>
#include <QRect>
#include <QSGNode>

#include <array>
#include <memory>

class MpvGlRenderer;
class MpvVideoItem;
class QQuickWindow;

// The node itself draws nothing. Before the scene, on the render thread, it lets mpv fill the
// whole framebuffer: the picture at the item's place and the window's colour around it, so the
// window's own clear is turned off while the node lives. Where the item is hidden or out of the
// scene the node clears the framebuffer itself. The clear is the window's, so one such node per
// window: the window is claimed while its node lives, and its clear restored when that node goes.
class MpvWindowVideoNode : public QSGNode
{
public:
    // Render thread, GUI thread blocked. Null, with a warning, when another item already draws
    // into the item's window.
    static MpvWindowVideoNode *create(MpvVideoItem *item);
    ~MpvWindowVideoNode() override;

    MpvWindowVideoNode(const MpvWindowVideoNode &) = delete;
    MpvWindowVideoNode &operator=(const MpvWindowVideoNode &) = delete;

    // Render thread, GUI thread blocked.
    void synchronize(MpvVideoItem *item);

private:
    MpvWindowVideoNode(MpvVideoItem *item, bool clearBefore);

    void captureWindow();
    void render();
    // The item's rectangle in the window's pixels, read from the scene graph as it stands for
    // this pass; false when the item is hidden or not in the scene.
    bool placement(QRectF &rect) const;
    void placePicture(const QRectF &rect);
    // The picture's place in whole pixels of the window, as mpv is told it.
    QRect pixelRect(const QRectF &rect) const;

    QQuickWindow *m_window;
    // The window's clear before this node turned it off.
    const bool m_clearBefore;
    std::unique_ptr<MpvGlRenderer> m_renderer;
    QSizeF m_itemSize;
    QSize m_windowPixels;
    qreal m_pixelRatio = 1;
    QColor m_background;
    // What the core was last told, so a pass that changes nothing sends nothing.
    quint64 m_placedCore = 0;
    std::array<double, 4> m_margins{{-1, -1, -1, -1}};
    QColor m_placedBackground;
    // The engine's shape of the picture, read at synchronisation. mpv ignores the margins when
    // told not to keep the picture's aspect, so "fill" is drawn as the aspect of its place.
    bool m_fill = false;
    bool m_sideways = false;
    quint64 m_aspectWrites = 0;
    quint64 m_placedAspectWrites = 0;
    double m_placedAspect = 0;
    QMetaObject::Connection m_beforeSynchronizing;
    QMetaObject::Connection m_beforeRendering;
};
