// What the page tests' QML helpers share: clips made with ffmpeg, folder listings, scratch
// paths and the README screenshots. Each suite's helper adds its own calls.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace tvxtest {

class PageTestHelper : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // A testsrc2 clip with a tone, of the given length and size, made once per name.
    Q_INVOKABLE QString makeClip(const QString &name, int seconds, const QString &size) const;
    // The files in a folder, names only.
    Q_INVOKABLE QStringList filesIn(const QString &folder) const;
    Q_INVOKABLE QString scratch(const QString &relative) const;
    // Saves a window's picture when TVX_SCREENSHOT_DIR names a folder (for the README).
    Q_INVOKABLE bool saveScreenshot(QObject *window, const QString &name) const;
};

} // namespace tvxtest
