// A Qt Quick item that shows one web page rendered off-screen by the shared web engine.
#include "webview/MiniBlinkWrapper.h"

#include "core/AppPaths.h"
#include "core/Log.h"
#include "webview/MiniBlinkRuntime.h"

#include <QGuiApplication>
#include <QPointer>
#include <QQuickWindow>
#include <QSGSimpleTextureNode>
#include <QThread>

#include <cmath>
#include <cstring>
#include <new>

namespace {

// Item-level state shared by every view of the process; GUI thread only.
int g_miniblinkInstanceCount = 0;
bool g_miniblinkWarmupDone = false;

constexpr int kInitialWidth = 1024;
constexpr int kInitialHeight = 768;
constexpr int kFrameIntervalMs = 16;
// Beyond this a buffer counts as not creatable, as a texture of it could not be drawn anyway.
constexpr int kMaxBufferSide = 16384;
constexpr qint64 kMaxBufferBytes = qint64(256) * 1024 * 1024;

constexpr unsigned kMouseMove = 512;
constexpr unsigned kLeftButtonDown = 513;
constexpr unsigned kLeftButtonUp = 514;
constexpr unsigned kFlagShift = 4;
constexpr unsigned kFlagControl = 8;

void swallowConsoleMessage(wkeWebView, void *, int, const char *) {}

// Stops the engine view and forgets it (engine views are never destroyed). The paint buffer
// goes with the record's last owner, which may be a frame pump still inside wkePaint.
void releaseView(OffscreenView &view)
{
    if (view.webView) {
        if (const WkeFunctions *wke = webview::miniblinkFunctions())
            wke->stopLoading(view.webView);
        view.webView = nullptr;
    }
    if (g_miniblinkInstanceCount > 0)
        --g_miniblinkInstanceCount;
}

// Shared by the constructor and the warm-up.
void setUpView(OffscreenView &view)
{
    if (g_miniblinkInstanceCount == 0 && !webview::ensureMiniBlinkInitialized())
        return;
    const WkeFunctions *wke = webview::miniblinkFunctions();
    if (!wke)
        return;
    ++g_miniblinkInstanceCount;
    view.webView = wke->createWebView();
    if (!view.webView)
        return;
    wke->setTransparent(view.webView, false);
    wke->resize(view.webView, kInitialWidth, kInitialHeight);
    view.viewWidth = kInitialWidth;
    view.viewHeight = kInitialHeight;
    view.createBuffer(kInitialWidth, kInitialHeight);
    wke->setZoomFactor(view.webView, 0.9f);
    wke->onConsole(view.webView, swallowConsoleMessage, nullptr);
    const QString storage = app::appDataDirPath(QStringLiteral("cookies"));
    const auto *utf16 = reinterpret_cast<const std::uint16_t *>(storage.utf16());
    wke->setLocalStorageFullPath(view.webView, utf16);
    wke->setCookieJarFullPath(view.webView, utf16);
}

unsigned buttonFlag(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 16;
    default:
        return 0;
    }
}

unsigned buttonsFlags(Qt::MouseButtons buttons)
{
    return (buttons & Qt::LeftButton ? 1u : 0u) | (buttons & Qt::RightButton ? 2u : 0u) |
           (buttons & Qt::MiddleButton ? 16u : 0u);
}

unsigned modifierFlags(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::ShiftModifier ? kFlagShift : 0u) |
           (modifiers & Qt::ControlModifier ? kFlagControl : 0u);
}

// The engine speaks the desktop's virtual-key codes; elsewhere they are derived from Qt's key.
unsigned virtualKeyCode(const QKeyEvent *event)
{
#ifdef Q_OS_WIN
    return event->nativeVirtualKey();
#else
    const int key = event->key();
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return unsigned(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
        return 112u + unsigned(key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
        return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return 46;
    default:
        return 0;
    }
#endif
}

} // namespace

bool OffscreenView::createBuffer(int w, int h)
{
    if (w <= 0 || h <= 0 || w > kMaxBufferSide || h > kMaxBufferSide || qint64(w) * h * 4 > kMaxBufferBytes)
        return false;
    const std::size_t bytes = std::size_t(w) * std::size_t(h) * 4;
    std::unique_ptr<uchar[]> fresh(new (std::nothrow) uchar[bytes]);
    if (!fresh)
        return false;
    std::memset(fresh.get(), 0xFF, bytes);
    bits = std::move(fresh);
    width = w;
    height = h;
    return true;
}

void OffscreenView::freeBuffer()
{
    bits.reset();
    width = 0;
    height = 0;
}

MiniBlinkWrapper::MiniBlinkWrapper(QQuickItem *parent)
    : QQuickItem(parent), m_view(std::make_shared<OffscreenView>())
{
    setUpView(*m_view);
    m_engineAvailable = m_view->webView != nullptr;
    if (!m_engineAvailable)
        m_engineError = webview::miniblinkInitError();
    setFlag(ItemHasContents, true);
    setFlag(ItemAcceptsInputMethod, true);
    setFlag(ItemIsFocusScope, true);
    setAcceptedMouseButtons(Qt::AllButtons);
    setAcceptHoverEvents(true);
    setAcceptTouchEvents(true);
    setWidth(kInitialWidth);
    setHeight(kInitialHeight);
    connect(this, &QQuickItem::widthChanged, this, &MiniBlinkWrapper::resizeView);
    connect(this, &QQuickItem::heightChanged, this, &MiniBlinkWrapper::resizeView);
    m_timerId = startTimer(kFrameIntervalMs, Qt::CoarseTimer);
}

MiniBlinkWrapper::~MiniBlinkWrapper()
{
    m_isDestroying = true;
    TVX_LOG_INFO << "MiniBlinkWrapper::~MiniBlinkWrapper";
    if (QThread::currentThread() == thread()) {
        setFlag(ItemHasContents, false);
        if (m_timerId != -1)
            killTimer(m_timerId);
    } else {
        TVX_LOG_WARN << "[MiniBlink] destructor runs on non-owner thread, skip killTimer. currentThread="
                     << QThread::currentThread() << "ownerThread=" << thread();
    }
    m_timerId = -1;
    // A frame pump still inside an engine call holds its own share of the view, so the buffer
    // the engine writes into is freed only when that call has returned.
    releaseView(*m_view);
    m_view.reset();
    QMutexLocker lock(&m_frameMutex);
    m_frameCache = QImage();
}

void MiniBlinkWrapper::setUrl(const QString &url)
{
    if (url == m_url)
        return;
    m_url = url;
    const WkeFunctions *wke = webview::miniblinkFunctions();
    if (webView() && wke) {
        m_loading = true;
        m_firstFrameReported = false;
        emit loadingChanged();
        emit loadStarted();
        const QByteArray utf8 = url.toUtf8();
        wke->loadURL(webView(), utf8.constData());
        wke->setDirty(webView(), true);
    } else {
        m_loading = false;
        emit loadingChanged();
        emit loadFinished(false);
    }
    emit urlChanged();
}

void MiniBlinkWrapper::reload()
{
    if (webView())
        webview::miniblinkFunctions()->reload(webView());
}

void MiniBlinkWrapper::goBack()
{
    if (webView())
        webview::miniblinkFunctions()->goBack(webView());
}

void MiniBlinkWrapper::goForward()
{
    if (webView())
        webview::miniblinkFunctions()->goForward(webView());
}

void MiniBlinkWrapper::resizeView()
{
    if (!webView())
        return;
    const qreal ratio = QGuiApplication::instance() ? qApp->devicePixelRatio() : 1.0;
    const int w = int(width() * ratio);
    const int h = int(height() * ratio);
    webview::miniblinkFunctions()->resize(webView(), w, h);
    m_view->viewWidth = w;
    m_view->viewHeight = h;
    m_view->createBuffer(w, h);
}

void MiniBlinkWrapper::timerEvent(QTimerEvent *)
{
    if (m_isDestroying || !m_view)
        return;
    const WkeFunctions *wke = webview::miniblinkFunctions();
    // The engine may run the event loop inside its calls and so destroy this item: the view
    // (and the buffer being painted) is kept by this share, and the item is checked after
    // every call before it is touched again.
    const std::shared_ptr<OffscreenView> view = m_view;
    const QPointer<MiniBlinkWrapper> self(this);
    const wkeWebView handle = view->webView;
    if (handle && wke) {
        wke->update();
        if (!self)
            return;
        wke->repaintIfNeeded(handle);
        if (!self)
            return;
        const bool dirty = wke->isDirty(handle);
        if (!self)
            return;
        if (dirty) {
            if (view->canPaint()) {
                wke->paint(handle, view->bits.get(), 4 * view->width);
                if (!self)
                    return;
                view->frameReady = true;
            }
            wke->setDirty(handle, false);
            if (!self)
                return;
        }
    }
    if (!view->frameReady)
        return;
    if (m_isDestroying)
        TVX_LOG_INFO << "MiniBlinkWrapper::timerEvent m_isDestroying";
    refreshFrameCache();
    if (m_loading && !m_firstFrameReported) {
        m_firstFrameReported = true;
        m_loading = false;
        // A handler may destroy the item.
        emit loadingChanged();
        if (!self)
            return;
        emit firstFrameRendered();
        if (!self)
            return;
        emit loadFinished(true);
        if (!self)
            return;
    }
    update();
    view->frameReady = false;
}

void MiniBlinkWrapper::refreshFrameCache()
{
    if (!m_view || !m_view->bits || m_view->width <= 0 || m_view->height <= 0)
        return;
    const QImage wrapped(m_view->bits.get(), m_view->width, m_view->height, 4 * m_view->width,
                         QImage::Format_RGB32);
    QImage copy = wrapped.copy();
    QMutexLocker lock(&m_frameMutex);
    m_frameCache = std::move(copy);
}

QSGNode *MiniBlinkWrapper::updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *)
{
    if (m_isDestroying || !window()) {
        delete oldNode;
        return nullptr;
    }
    QImage frame;
    {
        QMutexLocker lock(&m_frameMutex);
        frame = m_frameCache;
    }
    if (frame.isNull()) {
        delete oldNode;
        return nullptr;
    }
    auto *node = static_cast<QSGSimpleTextureNode *>(oldNode);
    if (!node) {
        node = new QSGSimpleTextureNode;
        // The node frees its texture when the scene graph drops it with the item.
        node->setOwnsTexture(true);
    }
    node->setRect(boundingRect());
    frame.setDevicePixelRatio(window()->effectiveDevicePixelRatio());
    if (QSGTexture *texture = window()->createTextureFromImage(frame, QQuickWindow::TextureIsOpaque)) {
        QSGTexture *previous = node->texture();
        node->setOwnsTexture(false);
        node->setTexture(texture);
        node->setOwnsTexture(true);
        delete previous;
    }
    if (!node->texture()) {
        delete node;
        return nullptr;
    }
    return node;
}

void MiniBlinkWrapper::componentComplete()
{
    QQuickItem::componentComplete();
}

void MiniBlinkWrapper::fireMouse(unsigned message, const QPointF &position, unsigned flags)
{
    // The view is laid out in device pixels, so positions are scaled like its size.
    const qreal ratio = qApp->devicePixelRatio();
    webview::miniblinkFunctions()->fireMouseEvent(webView(), message, int(std::lround(position.x() * ratio)),
                                                  int(std::lround(position.y() * ratio)), flags);
}

void MiniBlinkWrapper::mousePressEvent(QMouseEvent *event)
{
    if (!webView())
        return;
    forceActiveFocus();
    m_inputActive = true;
    fireMouse(kLeftButtonDown, event->localPos(), buttonFlag(event->button()));
}

void MiniBlinkWrapper::mouseReleaseEvent(QMouseEvent *event)
{
    if (!webView())
        return;
    fireMouse(kLeftButtonUp, event->localPos(), buttonFlag(event->button()));
}

void MiniBlinkWrapper::mouseMoveEvent(QMouseEvent *event)
{
    if (!webView())
        return;
    fireMouse(kMouseMove, event->localPos(), buttonsFlags(event->buttons()));
}

void MiniBlinkWrapper::hoverMoveEvent(QHoverEvent *event)
{
    if (!webView())
        return;
    fireMouse(kMouseMove, event->posF(), 0);
}

void MiniBlinkWrapper::wheelEvent(QWheelEvent *event)
{
    if (!webView())
        return;
    const qreal ratio = qApp->devicePixelRatio();
    const QPointF position = event->position();
    const int delta = int(std::lround(event->angleDelta().y() * 0.125));
    webview::miniblinkFunctions()->fireMouseWheelEvent(webView(), int(position.x() * ratio),
                                                       int(position.y() * ratio), delta, 0);
}

void MiniBlinkWrapper::keyPressEvent(QKeyEvent *event)
{
    if (!webView() || !m_inputActive)
        return;
    const WkeFunctions *wke = webview::miniblinkFunctions();
    m_keyFlags = modifierFlags(event->modifiers());
    if (event->key() == Qt::Key_Backspace) {
        wke->fireKeyPressEvent(webView(), 8, m_keyFlags, false);
        wke->fireKeyPressEvent(webView(), 8, m_keyFlags, true);
    } else {
        wke->fireKeyPressEvent(webView(), virtualKeyCode(event), m_keyFlags, false);
        const QString text = event->text();
        if (!text.isEmpty())
            wke->fireKeyPressEvent(webView(), text.at(0).unicode(), m_keyFlags, true);
    }
    event->accept();
}

void MiniBlinkWrapper::keyReleaseEvent(QKeyEvent *event)
{
    if (!webView() || !m_inputActive)
        return;
    m_keyFlags |= modifierFlags(event->modifiers());
    webview::miniblinkFunctions()->fireKeyUpEvent(webView(), virtualKeyCode(event), m_keyFlags, false);
    event->accept();
}

void MiniBlinkWrapper::inputMethodEvent(QInputMethodEvent *event)
{
    if (!webView() || !m_inputActive)
        return;
    const QString commit = event->commitString();
    for (const QChar unit : commit)
        webview::miniblinkFunctions()->fireKeyPressEvent(webView(), unit.unicode(), m_keyFlags, true);
    event->accept();
}

QVariant MiniBlinkWrapper::inputMethodQuery(Qt::InputMethodQuery query) const
{
    if (m_inputActive) {
        if (query == Qt::ImEnabled)
            return true;
        if (query == Qt::ImCursorRectangle)
            return boundingRect();
    }
    return QVariant();
}

void MiniBlinkWrapper::focusInEvent(QFocusEvent *event)
{
    QQuickItem::focusInEvent(event);
    if (window())
        window()->requestActivate();
}

void MiniBlinkWrapper::focusOutEvent(QFocusEvent *event)
{
    QQuickItem::focusOutEvent(event);
    m_inputActive = false;
}

void MiniBlinkWrapper::warmup()
{
    if (g_miniblinkWarmupDone)
        return;
    g_miniblinkWarmupDone = true;
    OffscreenView view;
    setUpView(view);
    releaseView(view);
}
