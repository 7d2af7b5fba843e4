// A Qt Quick item that shows one web page rendered off-screen by the shared web engine.
#pragma once

#include "webview/WkeApi.h"

#include <QImage>
#include <QMutex>
#include <QQuickItem>

#include <memory>

// The engine view and the paint buffer it draws into. Shared with a running frame pump, so a
// buffer the engine is writing outlives an item destroyed from inside an engine call.
struct OffscreenView
{
    bool frameReady = false;
    std::unique_ptr<uchar[]> bits; // 32 bits per pixel, top row first, rows of 4 x width bytes
    int width = 0;                 // the buffer's size in pixels; 0 until a buffer exists
    int height = 0;
    int viewWidth = 0; // the size last given to the engine view
    int viewHeight = 0;
    wkeWebView webView = nullptr;

    // Replaces the buffer with an opaque white one; false (old buffer kept) when it cannot be made.
    bool createBuffer(int w, int h);
    void freeBuffer();
    // Only a buffer that matches the view's size may be painted into.
    bool canPaint() const
    {
        return bits && width > 0 && height > 0 && width == viewWidth && height == viewHeight;
    }
};

class MiniBlinkWrapper : public QQuickItem
{
    Q_OBJECT
    Q_PROPERTY(QString url READ url WRITE setUrl NOTIFY urlChanged)
    Q_PROPERTY(bool loading READ isLoading NOTIFY loadingChanged)
    Q_PROPERTY(bool engineAvailable READ engineAvailable NOTIFY engineStatusChanged)
    Q_PROPERTY(QString engineError READ engineError NOTIFY engineStatusChanged)

public:
    explicit MiniBlinkWrapper(QQuickItem *parent = nullptr);
    ~MiniBlinkWrapper() override;

    QString url() const { return m_url; }
    void setUrl(const QString &url);
    bool isLoading() const { return m_loading; }
    bool engineAvailable() const { return m_engineAvailable; }
    QString engineError() const { return m_engineError; }

    void refreshFrameCache();

    // Starts the engine and its storage once per process, ahead of the first sign-in page.
    static void warmup();

public slots:
    void reload();
    void goBack();
    void goForward();

signals:
    void urlChanged();
    void loadingChanged();
    void loadStarted();
    void loadFinished(bool success);
    void firstFrameRendered();
    void engineStatusChanged();

protected:
    void timerEvent(QTimerEvent *event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void componentComplete() override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void hoverMoveEvent(QHoverEvent *event) override;
    QSGNode *updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *data) override;

private:
    void resizeView();
    void fireMouse(unsigned message, const QPointF &position, unsigned flags);
    wkeWebView webView() const { return m_view ? m_view->webView : nullptr; }

    QString m_url;
    bool m_loading = false;
    bool m_engineAvailable = false;
    QString m_engineError;
    std::shared_ptr<OffscreenView> m_view;
    quint32 m_keyFlags = 0;
    bool m_inputActive = false;
    bool m_isDestroying = false;
    int m_timerId = -1;
    bool m_firstFrameReported = false;
    mutable QMutex m_frameMutex;
    QImage m_frameCache;
};
