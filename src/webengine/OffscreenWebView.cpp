// One engine view rendered off the screen.
#include "webengine/OffscreenWebView.h"

#include "core/Log.h"
#include "webengine/ConfiguredAuthority.h"
#include "webengine/EngineHost.h"
#include "webengine/KeyCodes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLFramebufferObject>
#include <QPainter>
#include <QQuickWidget>
#include <QQuickWindow>
#include <QWebEngineCertificateError>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWheelEvent>
#include <QtMath>

namespace webengine {
namespace {

constexpr unsigned kMouseMove = 512;
constexpr unsigned kLeftButtonDown = 513;
constexpr unsigned kLeftButtonUp = 514;
constexpr unsigned kLeftButtonDoubleClick = 515;
constexpr unsigned kRightButtonDown = 516;
constexpr unsigned kRightButtonUp = 517;
constexpr unsigned kRightButtonDoubleClick = 518;
constexpr unsigned kMiddleButtonDown = 519;
constexpr unsigned kMiddleButtonUp = 520;
constexpr unsigned kMiddleButtonDoubleClick = 521;

constexpr unsigned kFlagLeft = 1;
constexpr unsigned kFlagRight = 2;
constexpr unsigned kFlagShift = 4;
constexpr unsigned kFlagControl = 8;
constexpr unsigned kFlagMiddle = 16;

// Chromium counts clicks by their time stamps, so synthesised events carry real ones.
ulong eventTimestamp()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return ulong(clock.elapsed()) + 1;
}

Qt::KeyboardModifiers modifiersFromFlags(unsigned flags)
{
    Qt::KeyboardModifiers modifiers;
    if (flags & kFlagShift)
        modifiers |= Qt::ShiftModifier;
    if (flags & kFlagControl)
        modifiers |= Qt::ControlModifier;
    return modifiers;
}

Qt::MouseButtons buttonsFromFlags(unsigned flags)
{
    Qt::MouseButtons buttons;
    if (flags & kFlagLeft)
        buttons |= Qt::LeftButton;
    if (flags & kFlagRight)
        buttons |= Qt::RightButton;
    if (flags & kFlagMiddle)
        buttons |= Qt::MiddleButton;
    return buttons;
}

// The button a press or release is about: the message names it, except that callers may
// send the left-button messages for every button and name the button in the flags.
Qt::MouseButton buttonOf(unsigned message, unsigned flags)
{
    switch (message) {
    case kRightButtonDown:
    case kRightButtonUp:
    case kRightButtonDoubleClick:
        return Qt::RightButton;
    case kMiddleButtonDown:
    case kMiddleButtonUp:
    case kMiddleButtonDoubleClick:
        return Qt::MiddleButton;
    default:
        break;
    }
    if (flags & kFlagRight)
        return Qt::RightButton;
    if (flags & kFlagMiddle)
        return Qt::MiddleButton;
    return Qt::LeftButton;
}

// The page's console levels as the callers know them: 0 information, 1 warning, 2 error.
// Certificates are trusted as by the program's other web calls. Every call the page makes
// into the view is counted while it runs, so that the view is never put to rest or freed
// under it.
class ConsolePage : public QWebEnginePage
{
public:
    ConsolePage(QWebEngineProfile *profile, OffscreenWebView *view) : QWebEnginePage(profile), m_view(view) {}

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message, int,
                                  const QString &) override
    {
        const OffscreenWebView::InsideCall inside(m_view);
        if (m_view->shows(this))
            m_view->consoleMessage(int(level), message);
    }

    // Qt's own boxes for these would open outside the caller's window, titled with the page's
    // address, each running an event loop of its own under which the caller may stop this
    // view; a page that loops on them would hold the whole program. They are answered at once:
    // an alert as read, a confirmation and a prompt as refused.
    void javaScriptAlert(const QUrl &, const QString &) override {}
    bool javaScriptConfirm(const QUrl &, const QString &) override { return false; }
    bool javaScriptPrompt(const QUrl &, const QString &, const QString &, QString *) override
    {
        return false;
    }

    // The views show the sign-in hosts' pages: the top frame goes to web pages and nowhere
    // else (not to data: pages, nor to the program's own qrc: resources, files or Chromium's
    // internal pages), whoever asks.
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override
    {
        if (!isMainFrame)
            return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
        const QString scheme = url.scheme().toLower();
        if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
            return true;
        TVX_LOG_WARN << "[WebEngine] navigation of the page to a" << (scheme.isEmpty() ? "relative" : scheme)
                     << "address refused: only http and https pages are shown";
        return false;
    }

    // Chromium knows the system's authorities only; the one the build configuration names for
    // the account hosts is trusted here too, for a chain that verifies up to it, and nothing
    // else is let through.
    bool certificateError(const QWebEngineCertificateError &error) override
    {
        const OffscreenWebView::InsideCall inside(m_view);
        const QUrl url = error.url();
        const bool accepted = error.error() == QWebEngineCertificateError::CertificateAuthorityInvalid &&
                              trustedByConfiguredAuthority(error.certificateChain(), url.host());
        TVX_LOG_WARN << "[WebEngine] certificate error" << int(error.error()) << "for"
                     << url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment).toString()
                     << (accepted ? "accepted: the chain verifies to the configured authority" : "refused");
        return accepted;
    }

private:
    OffscreenWebView *m_view;
};

} // namespace

OffscreenWebView::OffscreenWebView(EngineHost *host)
    : m_host(host), m_widget(std::make_unique<QWebEngineView>())
{
    // Shown, so Chromium counts the page visible and keeps drawing it, but never mapped.
    m_widget->setAttribute(Qt::WA_DontShowOnScreen, true);
    m_widget->setAttribute(Qt::WA_ShowWithoutActivating, true);
    m_widget->setContextMenuPolicy(Qt::NoContextMenu);
}

OffscreenWebView::~OffscreenWebView()
{
    QObject::disconnect(m_frameConnection);
    // The page goes before the widget that shows it and before its profile.
    if (m_page) {
        m_widget->setPage(nullptr);
        delete m_page;
        m_page = nullptr;
    }
    m_widget.reset();
}

QString OffscreenWebView::storageFolder() const
{
    // Qt WebEngine keeps cookies and local storage together; the cookie folder wins.
    return m_cookieJarPath.isEmpty() ? m_localStoragePath : m_cookieJarPath;
}

QWebEnginePage *OffscreenWebView::ensurePage()
{
    m_released = false;
    if (m_page) {
        wake();
        return m_page;
    }
    // Made at first use, when the storage folder is known: a page's profile is fixed.
    m_page = new ConsolePage(m_host->profileFor(storageFolder()), this);
    m_page->setBackgroundColor(m_transparent ? Qt::transparent : Qt::white);
    m_page->setZoomFactor(qreal(m_zoomFactor));
    m_widget->setPage(m_page);
    if (m_width > 0 && m_height > 0)
        resize(m_width, m_height);
    m_widget->show();
    return m_page;
}

void OffscreenWebView::wake()
{
    m_released = false;
    if (!m_resting || !m_page)
        return;
    m_resting = false;
    m_page->setLifecycleState(QWebEnginePage::LifecycleState::Active);
    m_widget->show();
}

void OffscreenWebView::setTransparent(bool transparent)
{
    m_transparent = transparent;
    if (m_page)
        m_page->setBackgroundColor(transparent ? Qt::transparent : Qt::white);
}

void OffscreenWebView::resize(int width, int height)
{
    if (width <= 0 || height <= 0)
        return;
    m_width = width;
    m_height = height;
    // The page is laid out in the widget's logical pixels and drawn at its screen's ratio,
    // so a view of the caller's device pixels is that size divided by the ratio.
    const qreal ratio = m_widget->devicePixelRatioF();
    m_widget->resize(qCeil(width / ratio), qCeil(height / ratio));
    m_dirty = true;
}

void OffscreenWebView::setZoomFactor(float factor)
{
    m_zoomFactor = factor;
    if (m_page)
        m_page->setZoomFactor(qreal(factor));
}

void OffscreenWebView::setConsoleCallback(ConsoleCallback callback, void *param)
{
    m_console = callback;
    m_consoleParam = param;
}

void OffscreenWebView::setLocalStoragePath(const QString &folder)
{
    m_localStoragePath = folder;
    // Opening the storage now lets a warm-up pay for it before the first page.
    if (!m_page)
        m_host->profileFor(storageFolder());
}

void OffscreenWebView::setCookieJarPath(const QString &folder)
{
    m_cookieJarPath = folder;
    if (!m_page)
        m_host->profileFor(storageFolder());
}

void OffscreenWebView::consoleMessage(int level, const QString &message)
{
    if (m_console)
        m_console(this, m_consoleParam, level, message.toUtf8().constData());
}

void OffscreenWebView::load(const QString &url)
{
    flushPendingKey();
    ensurePage()->load(QUrl(url));
}

bool OffscreenWebView::reload()
{
    flushPendingKey();
    ensurePage()->triggerAction(QWebEnginePage::Reload);
    return true;
}

bool OffscreenWebView::goBack()
{
    flushPendingKey();
    QWebEnginePage *page = ensurePage();
    const bool can = page->history()->canGoBack();
    page->triggerAction(QWebEnginePage::Back);
    return can;
}

bool OffscreenWebView::goForward()
{
    flushPendingKey();
    QWebEnginePage *page = ensurePage();
    const bool can = page->history()->canGoForward();
    page->triggerAction(QWebEnginePage::Forward);
    return can;
}

void OffscreenWebView::stop()
{
    flushPendingKey();
    m_released = true;
    if (!m_page || m_resting)
        return;
    if (m_insideCalls > 0) {
        // Asked from inside one of the page's own calls (a caller's console callback, say):
        // the page is put to rest once that call has returned, never under it.
        if (!m_restQueued) {
            m_restQueued = true;
            QMetaObject::invokeMethod(this, &OffscreenWebView::restIfReleased, Qt::QueuedConnection);
        }
        return;
    }
    rest();
}

void OffscreenWebView::restIfReleased()
{
    m_restQueued = false;
    // Used again meanwhile, or already at rest: nothing to do.
    if (m_released && m_page && !m_resting)
        stop();
}

void OffscreenWebView::rest()
{
    m_page->triggerAction(QWebEnginePage::Stop);
    // Views are never destroyed by their callers, so a view left behind must not go on
    // drawing, running its scripts or holding its renderer's memory.
    m_resting = true;
    m_widget->hide();
    m_page->setLifecycleState(QWebEnginePage::LifecycleState::Discarded);
}

void OffscreenWebView::reset()
{
    QObject::disconnect(m_frameConnection);
    m_delegate = nullptr;
    m_delegateFocused = false;
    if (m_page) {
        m_widget->setPage(nullptr);
        // Freed once the page's own call that led here has returned, never under it.
        if (m_insideCalls > 0)
            m_page->deleteLater();
        else
            delete m_page;
        m_page = nullptr;
    }
    m_widget->hide();
    m_resting = false;
    m_released = false;
    m_transparent = false;
    m_zoomFactor = 1.0f;
    m_console = nullptr;
    m_consoleParam = nullptr;
    m_localStoragePath.clear();
    m_cookieJarPath.clear();
    m_frame = QImage();
    m_dirty = false;
    m_hasPendingKey = false;
    m_highSurrogate = 0;
    m_buttons = Qt::NoButton;
}

bool OffscreenWebView::isDirty()
{
    attachDelegate();
    return m_dirty;
}

void OffscreenWebView::attachDelegate()
{
    // Qt WebEngine draws into a widget of its own inside the view, and replaces that widget
    // when the page moves to another renderer.
    auto *delegate = qobject_cast<QQuickWidget *>(m_widget->focusProxy());
    if (delegate == m_delegate)
        return;
    QObject::disconnect(m_frameConnection);
    m_delegate = delegate;
    m_delegateFocused = false;
    if (delegate) {
        m_frameConnection = connect(delegate->quickWindow(), &QQuickWindow::afterRendering, this,
                                    &OffscreenWebView::captureFrame, Qt::DirectConnection);
    }
}

void OffscreenWebView::captureFrame()
{
    // Runs right after the delegate drew into its framebuffer, with that framebuffer bound.
    if (!m_delegate)
        return;
    QOpenGLFramebufferObject *target = m_delegate->quickWindow()->renderTarget();
    if (!target)
        return;
    m_frame = target->toImage();
    m_dirty = true;
}

void OffscreenWebView::paint(void *bits, int pitch)
{
    if (!bits || m_width <= 0 || m_height <= 0 || pitch < 4 * m_width)
        return;
    QImage out(static_cast<uchar *>(bits), m_width, m_height, pitch, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&out);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(out.rect(), Qt::white);
    if (!m_frame.isNull()) {
        QImage frame = m_frame;
        frame.setDevicePixelRatio(1.0);
        painter.drawImage(0, 0, frame);
    }
}

void OffscreenWebView::sendToDelegate(QEvent *event)
{
    attachDelegate();
    if (!m_delegate)
        return;
    // The widget is never on the screen, so it never gains focus the usual way; the page
    // takes keys and shows a caret only once told it is focused.
    if (!m_delegateFocused) {
        m_delegateFocused = true;
        QFocusEvent focusIn(QEvent::FocusIn, Qt::OtherFocusReason);
        QCoreApplication::sendEvent(m_delegate, &focusIn);
        if (!m_delegate)
            return;
    }
    QCoreApplication::sendEvent(m_delegate, event);
}

bool OffscreenWebView::fireMouseEvent(unsigned message, int x, int y, unsigned flags)
{
    flushPendingKey();
    if (!m_page)
        return false;
    wake();
    const qreal ratio = m_widget->devicePixelRatioF();
    const QPointF local(x / ratio, y / ratio);
    const QPointF global = m_widget->mapToGlobal(local.toPoint());
    const Qt::KeyboardModifiers modifiers = modifiersFromFlags(flags);
    QEvent::Type type = QEvent::None;
    Qt::MouseButton button = Qt::NoButton;
    switch (message) {
    case kMouseMove:
        type = QEvent::MouseMove;
        m_buttons = buttonsFromFlags(flags);
        break;
    case kLeftButtonDown:
    case kRightButtonDown:
    case kMiddleButtonDown:
    case kLeftButtonDoubleClick:
    case kRightButtonDoubleClick:
    case kMiddleButtonDoubleClick:
        type = QEvent::MouseButtonPress;
        button = buttonOf(message, flags);
        m_buttons |= button;
        break;
    case kLeftButtonUp:
    case kRightButtonUp:
    case kMiddleButtonUp:
        type = QEvent::MouseButtonRelease;
        button = buttonOf(message, flags);
        m_buttons &= ~Qt::MouseButtons(button);
        break;
    default:
        return false;
    }
    QMouseEvent event(type, local, local, global, button, m_buttons, modifiers);
    event.setTimestamp(eventTimestamp());
    sendToDelegate(&event);
    return true;
}

bool OffscreenWebView::fireMouseWheelEvent(int x, int y, int delta, unsigned flags)
{
    flushPendingKey();
    if (!m_page)
        return false;
    wake();
    const qreal ratio = m_widget->devicePixelRatioF();
    const QPointF local(x / ratio, y / ratio);
    const QPointF global = m_widget->mapToGlobal(local.toPoint());
    // The delta comes in degrees of wheel turn; Qt counts eighths of a degree.
    QWheelEvent event(local, global, QPoint(), QPoint(0, delta * 8), m_buttons, modifiersFromFlags(flags),
                      Qt::NoScrollPhase, false);
    event.setTimestamp(eventTimestamp());
    sendToDelegate(&event);
    return true;
}

bool OffscreenWebView::fireKeyPressEvent(unsigned code, unsigned flags, bool systemKey)
{
    if (!m_page)
        return false;
    wake();
    if (!systemKey) {
        // A key going down is held back for the character that usually follows it, so that
        // the page sees one key press carrying its text, as from a keyboard.
        flushPendingKey();
        m_hasPendingKey = true;
        m_pendingKey = code;
        m_pendingModifiers = modifiersFromFlags(flags);
        return true;
    }
    if (code == 0 || code > 0xFFFF)
        return false;
    const auto unit = ushort(code);
    if (QChar::isHighSurrogate(unit)) {
        m_highSurrogate = unit;
        return true;
    }
    QString text;
    if (QChar::isLowSurrogate(unit) && m_highSurrogate)
        text.append(QChar(m_highSurrogate));
    m_highSurrogate = 0;
    text.append(QChar(unit));
    if (m_hasPendingKey) {
        m_hasPendingKey = false;
        sendKeyPress(m_pendingKey, m_pendingModifiers, text);
    } else if (unit < 0x20) {
        // Control characters alone act as their keys (Return, Tab, Backspace, Escape).
        sendKeyPress(unit, modifiersFromFlags(flags), text);
    } else {
        commitText(text);
    }
    return true;
}

bool OffscreenWebView::fireKeyUpEvent(unsigned virtualKeyCode, unsigned flags)
{
    if (!m_page)
        return false;
    wake();
    flushPendingKey();
    QKeyEvent event(QEvent::KeyRelease, qtKeyForVirtualKey(virtualKeyCode), modifiersFromFlags(flags));
    sendToDelegate(&event);
    return true;
}

void OffscreenWebView::flushPendingKey()
{
    if (!m_hasPendingKey)
        return;
    m_hasPendingKey = false;
    sendKeyPress(m_pendingKey, m_pendingModifiers, QString());
}

void OffscreenWebView::sendKeyPress(unsigned virtualKey, Qt::KeyboardModifiers modifiers, const QString &text)
{
    QKeyEvent event(QEvent::KeyPress, qtKeyForVirtualKey(virtualKey), modifiers, text);
    sendToDelegate(&event);
}

void OffscreenWebView::commitText(const QString &text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    sendToDelegate(&event);
}

} // namespace webengine
