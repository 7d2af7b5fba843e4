// Clips, listings and screenshots for the page tests' QML helpers.
#include "PageTestHelper.h"

#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QQuickWindow>
#include <QUrl>

namespace tvxtest {

QString PageTestHelper::makeClip(const QString &name, int seconds, const QString &size) const
{
    const QString out = scratchPath(QStringLiteral("clips/") + name);
    if (QFileInfo(out).size() > 0)
        return QUrl::fromLocalFile(out).toString();
    const auto r = runProcess(QStringLiteral("ffmpeg"),
                              {"-nostdin",
                               "-hide_banner",
                               "-loglevel",
                               "error",
                               "-y",
                               "-f",
                               "lavfi",
                               "-i",
                               QStringLiteral("testsrc2=size=%1:rate=25:duration=%2").arg(size).arg(seconds),
                               "-f",
                               "lavfi",
                               "-i",
                               QStringLiteral("sine=frequency=440:duration=%1").arg(seconds),
                               "-c:v",
                               "libx264",
                               "-preset",
                               "ultrafast",
                               "-pix_fmt",
                               "yuv420p",
                               "-c:a",
                               "aac",
                               "-shortest",
                               out},
                              120000);
    return r.exitCode == 0 ? QUrl::fromLocalFile(out).toString() : QString();
}

QStringList PageTestHelper::filesIn(const QString &folder) const
{
    return QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
}

QString PageTestHelper::scratch(const QString &relative) const
{
    return scratchPath(relative);
}

bool PageTestHelper::saveScreenshot(QObject *window, const QString &name) const
{
    const QString dir = qEnvironmentVariable("TVX_SCREENSHOT_DIR");
    auto *quickWindow = qobject_cast<QQuickWindow *>(window);
    if (dir.isEmpty() || !quickWindow)
        return false;
    QDir().mkpath(dir);
    return quickWindow->grabWindow().save(QDir(dir).filePath(name));
}

} // namespace tvxtest
