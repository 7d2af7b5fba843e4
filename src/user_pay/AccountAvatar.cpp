// The signed-in account's picture, fetched once per applied account and kept as one JPEG file.
#include "user_pay/AccountManager.h"

#include "core/AppPaths.h"
#include "core/AtomicFile.h"
#include "core/Log.h"
#include "user_pay/AvatarImage.h"
#include "webapi/BlockingHttp.h"

#include <QBuffer>
#include <QEventLoop>
#include <QMetaObject>
#include <QUrl>

#include <atomic>
#include <thread>

namespace user_pay {

namespace {
// An avatar is a few hundred kilobytes at most; anything far larger is not a picture for us.
constexpr qint64 kMaxAvatarBytes = 8 * 1024 * 1024;
constexpr int kAvatarTimeoutMs = 5000;
// How soon an abandoned transfer notices it.
constexpr long kAvatarCancelCheckMs = 20;
} // namespace

QString AccountManager::avatarCacheFilePath()
{
    return app::appDataFilePath(QStringLiteral("avatar_cache.jpg"));
}

QString AccountManager::normalizeAvatarDownloadUrl(const QString &address)
{
    // An https address stays https: the picture and the request never travel in clear.
    return address.trimmed();
}

void AccountManager::updateAvatarLocalPath(const QString &avatarAddress)
{
    const QString address = normalizeAvatarDownloadUrl(avatarAddress);
    avatarLocalPath.clear();
    if (address.isEmpty() || quitting)
        return;

    // Fetched with libcurl rather than Qt's network manager, which also reads file: and data:
    // addresses: the address is the server's, and only http and https may be fetched, before and
    // after every redirect (a local pipe named here would hold the GUI thread for ever).
    webapi::BlockingRequest request;
    request.url = QUrl(address).toEncoded().toStdString();
    request.headers = {"User-Agent: Mozilla/5.0 (Windows NT 10.0; Win64; x64) Tavrixo/1.0",
                       "Accept: image/*,*/*;q=0.8"};
    request.followRedirects = true;
    request.timeoutMs = kAvatarTimeoutMs;
    request.maxBodyBytes = kMaxAvatarBytes;
    QByteArray body;
    request.sink = [&body](const char *data, size_t size) {
        body.append(data, int(size));
        return true;
    };
    std::atomic<bool> abandon{false};
    request.cancelled = [&abandon] { return abandon.load(); };
    request.checkMs = kAvatarCancelCheckMs;

    // The transfer runs on a thread of its own while the GUI thread keeps serving its events,
    // as it did while the network manager's reply was on its way. The thread fills only the body
    // and the result and then ends the local loop, and the GUI thread reads them once it has
    // joined it. A quit of the program (a quit signal, the window closed) ends every running
    // event loop, this one too: the transfer is then abandoned at once rather than waited out.
    webapi::BlockingResult fetched;
    std::atomic<bool> done{false};
    QEventLoop loop;
    std::thread transfer([&] {
        fetched = webapi::blockingTransfer(request);
        done = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    if (!done) {
        quitting = true;
        abandon = true;
    }
    transfer.join();
    if (quitting) {
        TVX_LOG_INFO << "[AccountManager][Avatar] download abandoned, the program quits, url ="
                     << app::maskAddress(address);
        return;
    }

    if (fetched.outcome == webapi::BlockingOutcome::TimedOut ||
        fetched.outcome == webapi::BlockingOutcome::TooLarge) {
        TVX_LOG_WARN << (fetched.outcome == webapi::BlockingOutcome::TooLarge
                             ? "[AccountManager][Avatar] avatar too large, url ="
                             : "[AccountManager][Avatar] download timeout, url =")
                     << app::maskAddress(address);
        return;
    }
    if (!fetched.ok()) {
        TVX_LOG_WARN << "[AccountManager][Avatar] download failed, url =" << app::maskAddress(address)
                     << "error =" << app::logExcerpt(QString::fromStdString(fetched.error));
        return;
    }
    const QByteArray contentType = QByteArray::fromStdString(fetched.contentType).toLower();
    if (body.isEmpty() || !contentType.startsWith("image/")) {
        TVX_LOG_WARN << "[AccountManager][Avatar] invalid avatar payload, url =" << app::maskAddress(address)
                     << "content-type =" << contentType << "bytes =" << body.size();
        return;
    }
    // Runs before the window exists at start-up: the header decides before any pixel does.
    QString refusal;
    const QImage image = decodeAvatarImage(body, &refusal);
    if (image.isNull()) {
        TVX_LOG_WARN << "[AccountManager][Avatar] picture refused, url =" << app::maskAddress(address) << ":"
                     << refusal;
        return;
    }
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "JPG", 92) || jpeg.isEmpty()) {
            TVX_LOG_WARN << "[AccountManager][Avatar] encode jpg failed, url =" << app::maskAddress(address);
            return;
        }
    }
    const QString cachePath = avatarCacheFilePath();
    // Private to the user like the account file it belongs to.
    if (!app::writeFileAtomically(cachePath, jpeg, QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        TVX_LOG_WARN << "[AccountManager][Avatar] failed to write avatar cache, path =" << cachePath;
        return;
    }
    avatarLocalPath = QString::fromLatin1(QUrl::fromLocalFile(cachePath).toEncoded());
    TVX_LOG_INFO << "[AccountManager][Avatar] cached avatar path =" << avatarLocalPath;
}

} // namespace user_pay
