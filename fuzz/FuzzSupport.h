// Shared set-up of the fuzz targets: a Qt core application, private scratch folders for the
// files a target writes, and a silent log (a fuzzing run writes millions of lines otherwise).
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace tvxfuzz {

inline void silence(QtMsgType, const QMessageLogContext &, const QString &) {}

// Call from LLVMFuzzerInitialize: the application object, and HOME and the XDG folders in a
// temporary folder removed at exit.
inline void initialize(int *argc, char ***argv)
{
    static QTemporaryDir scratch;
    const QByteArray root = QFile::encodeName(scratch.path());
    for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
        const QByteArray dir = root + '/' + name;
        QDir().mkpath(QFile::decodeName(dir));
        qputenv(name, dir);
    }
    qputenv("XDG_RUNTIME_DIR", root);
    static QCoreApplication app(*argc, *argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Kestrane"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavrixo"));
    if (!qEnvironmentVariableIsSet("TVX_FUZZ_LOG"))
        qInstallMessageHandler(silence);
}

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), static_cast<int>(size));
}

} // namespace tvxfuzz
