// The signed-in account's picture, fetched once per applied account and kept as one JPEG file.
#include "user_pay/AccountManager.h"

#include "core/AppPaths.h"
#include "core/AtomicFile.h"
#include "core/Log.h"
#include "user_pay/AvatarImage.h"

#include <QBuffer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace user_pay {

namespace {
// An avatar is a few hundred kilobytes at most; anything far larger is not a picture for us.
constexpr qint64 kMaxAvatarBytes = 8 * 1024 * 1024;
constexpr int kAvatarTimeoutMs = 5000;
} // namespace

QString AccountManager::avatarCacheFilePath()
{
    return app::appDataFilePath(QStringLiteral("avatar_cache.jpg"));
}

QString AccountManager::normalizeAvatarDownloadUrl(const QString &address)
{
    QString url = address.trimmed();
    if (url.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
        url.replace(0, 8, QStringLiteral("http://"));
    return url;
}

void AccountManager::updateAvatarLocalPath(const QString &avatarAddress)
{
    const QString address = normalizeAvatarDownloadUrl(avatarAddress);
    avatarLocalPath.clear();
    if (address.isEmpty())
        return;

    QNetworkAccessManager network;
    QNetworkRequest request{QUrl(address)};
    request.setRawHeader("User-Agent", "Mozilla/5.0 (Windows NT 10.0; Win64; x64) Tavrixo/1.0");
    request.setRawHeader("Accept", "image/*,*/*;q=0.8");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    std::unique_ptr<QNetworkReply> reply(network.get(request));

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    bool tooLarge = false;
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    connect(reply.get(), &QNetworkReply::downloadProgress, &loop, [&](qint64 received, qint64 total) {
        if (received > kMaxAvatarBytes || total > kMaxAvatarBytes) {
            tooLarge = true;
            loop.quit();
        }
    });
    timer.start(kAvatarTimeoutMs);
    loop.exec();

    if (!timer.isActive() || tooLarge) {
        TVX_LOG_WARN << (tooLarge ? "[AccountManager][Avatar] avatar too large, url ="
                                  : "[AccountManager][Avatar] download timeout, url =")
                     << address;
        reply->abort();
        return;
    }
    timer.stop();
    if (reply->error() != QNetworkReply::NoError) {
        TVX_LOG_WARN << "[AccountManager][Avatar] download failed, url =" << address
                     << "error =" << reply->errorString();
        return;
    }
    const QByteArray body = reply->readAll();
    const QByteArray contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray().toLower();
    if (body.isEmpty() || !contentType.startsWith("image/")) {
        TVX_LOG_WARN << "[AccountManager][Avatar] invalid avatar payload, url =" << address
                     << "content-type =" << contentType << "bytes =" << body.size();
        return;
    }
    // Runs before the window exists at start-up: the header decides before any pixel does.
    QString refusal;
    const QImage image = decodeAvatarImage(body, &refusal);
    if (image.isNull()) {
        TVX_LOG_WARN << "[AccountManager][Avatar] picture refused, url =" << address << ":" << refusal;
        return;
    }
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "JPG", 92) || jpeg.isEmpty()) {
            TVX_LOG_WARN << "[AccountManager][Avatar] encode jpg failed, url =" << address;
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
