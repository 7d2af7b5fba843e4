// One engine view: a Qt WebEngine page laid out in a top-level widget that is never put on the
// screen, whose rendered frames are read back into memory for the caller to copy, and which
// receives the caller's input as synthesised Qt events.
#pragma once

#include <QImage>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QQuickWidget;
class QWebEnginePage;
class QWebEngineView;
class QWidget;

namespace webengine {

class EngineHost;

using ConsoleCallback = void (*)(void *handle, void *param, int level, const char *message);

class OffscreenWebView : public QObject
{
    Q_OBJECT

public:
    explicit OffscreenWebView(EngineHost *host);
    ~OffscreenWebView() override;

    void setTransparent(bool transparent);
    // Size in device pixels, the size wkePaint writes.
    void resize(int width, int height);
    void setZoomFactor(float factor);
    void setConsoleCallback(ConsoleCallback callback, void *param);
    void setLocalStoragePath(const QString &folder);
    void setCookieJarPath(const QString &folder);

    void load(const QString &url);
    bool reload();
    bool goBack();
    bool goForward();
    // The last call an item makes on its view: besides stopping, the page is put to rest
    // (hidden, its renderer state discarded) until the view is used again.
    void stop();
    // Stopped and not used since: free to serve the next caller once reset.
    bool isReleased() const { return m_released; }
    // Back to what a new view is: no page (the next one is made at first use, with the storage
    // then given), no frame, no history, no settings or callback of the last caller.
    void reset();

    void setDirty(bool dirty) { m_dirty = dirty; }
    bool isDirty();
    // Writes the last frame at the view's size; what the frame does not cover is white.
    void paint(void *bits, int pitch);

    bool fireMouseEvent(unsigned message, int x, int y, unsigned flags);
    bool fireMouseWheelEvent(int x, int y, int delta, unsigned flags);
    bool fireKeyPressEvent(unsigned code, unsigned flags, bool systemKey);
    bool fireKeyUpEvent(unsigned virtualKeyCode, unsigned flags);
    // Sends a key press held back for the character that usually follows it.
    void flushPendingKey();

    // Console output of the page, passed on to the caller's callback.
    void consoleMessage(int level, const QString &message);
    // Whether page is the one the view shows (a page freed late no longer speaks for it).
    bool shows(const QWebEnginePage *page) const { return page && page == m_page; }

    // Held while the page runs a call of its own into the view (a console message, a
    // certificate's check): a stop or reset asked meanwhile waits until the call has returned.
    class InsideCall
    {
    public:
        explicit InsideCall(OffscreenWebView *view) : m_view(view) { ++m_view->m_insideCalls; }
        ~InsideCall() { --m_view->m_insideCalls; }
        InsideCall(const InsideCall &) = delete;
        InsideCall &operator=(const InsideCall &) = delete;

    private:
        OffscreenWebView *m_view;
    };

private:
    void rest();
    void restIfReleased();
    QWebEnginePage *ensurePage();
    void wake();
    void attachDelegate();
    void captureFrame();
    void sendToDelegate(QEvent *event);
    void sendKeyPress(unsigned virtualKey, Qt::KeyboardModifiers modifiers, const QString &text);
    void commitText(const QString &text);
    QString storageFolder() const;

    EngineHost *m_host;
    std::unique_ptr<QWebEngineView> m_widget;
    QWebEnginePage *m_page = nullptr; // owned by this object; created at first use
    QPointer<QQuickWidget> m_delegate;
    QMetaObject::Connection m_frameConnection;
    bool m_delegateFocused = false;
    int m_width = 0;
    int m_height = 0;
    bool m_transparent = false;
    float m_zoomFactor = 1.0f;
    ConsoleCallback m_console = nullptr;
    void *m_consoleParam = nullptr;
    QString m_localStoragePath;
    QString m_cookieJarPath;
    bool m_resting = false;
    bool m_released = false;
    int m_insideCalls = 0;
    bool m_restQueued = false;

    QImage m_frame;
    bool m_dirty = false;

    bool m_hasPendingKey = false;
    unsigned m_pendingKey = 0;
    Qt::KeyboardModifiers m_pendingModifiers;
    ushort m_highSurrogate = 0;
    Qt::MouseButtons m_buttons;
};

} // namespace webengine
