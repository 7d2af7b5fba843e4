// Finds, loads and starts the one web engine of the process.
#include "webview/MiniBlinkRuntime.h"

#include "core/AppPaths.h"
#include "core/Log.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QSysInfo>

namespace webview {
namespace {

bool g_miniblinkInitialized = false;
QString g_miniblinkInitError;
WkeFunctions g_functions;

QString processArchName()
{
    const QString arch = QSysInfo::buildCpuArchitecture();
    if (arch == QLatin1String("x86_64"))
        return QStringLiteral("x64");
    if (arch == QLatin1String("i386"))
        return QStringLiteral("x86");
    return arch;
}

// The dynamic loader's complaint, reduced to what a user can act on.
QString buildLoadErrorText(const QString &path, const QString &loaderError)
{
    if (loaderError.contains(QLatin1String("wrong ELF class")) ||
        loaderError.contains(QLatin1String("ELF load command")) ||
        loaderError.contains(QLatin1String("wrong machine")))
        return QStringLiteral("%1: architecture mismatch, current process is %2")
            .arg(path, processArchName());
    // Qt wraps the dynamic loader's "<path>: <reason>" as "Cannot load library <path>: (...)".
    QString reason = loaderError.trimmed();
    const int open = reason.indexOf(QLatin1String(": ("));
    if (open >= 0 && reason.endsWith(QLatin1Char(')')))
        reason = reason.mid(open + 3, reason.size() - open - 4);
    if (reason.startsWith(path + QLatin1String(": ")))
        reason = reason.mid(path.size() + 2);
    reason = reason.trimmed();
    return QStringLiteral("%1: %2").arg(path, reason.isEmpty() ? QStringLiteral("unknown error") : reason);
}

// Probes that the file loads at all, so a broken file is told apart from a refusing engine.
bool tryLoadMiniBlinkModule(const QString &path, QLibrary &module, QString *error)
{
    module.setFileName(path);
    const bool ok = module.load();
    TVX_LOG_INFO << "[MiniBlink] LoadLibrary =" << path << "ok=" << (ok ? "true" : "false");
    if (!ok)
        *error = buildLoadErrorText(path, module.errorString());
    return ok;
}

template <typename Fn> void bind(QLibrary &library, const char *name, Fn &slot, QStringList *missing)
{
    slot = reinterpret_cast<Fn>(library.resolve(name));
    if (!slot)
        missing->append(QString::fromLatin1(name));
}

// The engine loader: binds every operation by name and starts the engine. Binds nothing unless
// every operation is present, because the item must never call through a null pointer. A
// started engine stays loaded for the rest of the process.
int loadWkeEngine(const QString &path, QStringList *missing)
{
    QLibrary library(path);
    if (!library.load())
        return 0;
    WkeFunctions f;
    wkeInitializeExFn initializeEx = nullptr;
    bind(library, "wkeInitializeEx", initializeEx, missing);
    bind(library, "wkeCreateWebView", f.createWebView, missing);
    bind(library, "wkeSetTransparent", f.setTransparent, missing);
    bind(library, "wkeResize", f.resize, missing);
    bind(library, "wkeSetZoomFactor", f.setZoomFactor, missing);
    bind(library, "wkeOnConsole", f.onConsole, missing);
    bind(library, "wkeSetLocalStorageFullPath", f.setLocalStorageFullPath, missing);
    bind(library, "wkeSetCookieJarFullPath", f.setCookieJarFullPath, missing);
    bind(library, "wkeLoadURL", f.loadURL, missing);
    bind(library, "wkeSetDirty", f.setDirty, missing);
    bind(library, "wkeUpdate", f.update, missing);
    bind(library, "wkeRepaintIfNeeded", f.repaintIfNeeded, missing);
    bind(library, "wkeIsDirty", f.isDirty, missing);
    bind(library, "wkePaint", f.paint, missing);
    bind(library, "wkeFireMouseEvent", f.fireMouseEvent, missing);
    bind(library, "wkeFireMouseWheelEvent", f.fireMouseWheelEvent, missing);
    bind(library, "wkeFireKeyPressEvent", f.fireKeyPressEvent, missing);
    bind(library, "wkeFireKeyUpEvent", f.fireKeyUpEvent, missing);
    bind(library, "wkeReload", f.reload, missing);
    bind(library, "wkeGoBack", f.goBack, missing);
    bind(library, "wkeGoForward", f.goForward, missing);
    bind(library, "wkeStopLoading", f.stopLoading, missing);
    if (!missing->isEmpty()) {
        library.unload();
        return 0;
    }
    if (initializeEx(nullptr) != 1)
        return 0;
    g_functions = f;
    return 1;
}

} // namespace

QString miniblinkLibraryFileName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("miniblink.dll");
#else
    return QStringLiteral("libminiblink.so");
#endif
}

QStringList miniblinkCandidatePaths()
{
    const QDir folder(app::applicationDirPath());
    QStringList candidates{folder.filePath(miniblinkLibraryFileName())};
#ifndef Q_OS_WIN
    // An installed program keeps the engine among its private libraries, out of the folder of
    // executables.
    candidates << QDir::cleanPath(
        folder.filePath(QStringLiteral(TVX_PRIVATE_LIBDIR_FROM_BINDIR "/") + miniblinkLibraryFileName()));
#endif
    return candidates;
}

bool ensureMiniBlinkInitialized()
{
    if (g_miniblinkInitialized)
        return true;

    QString chosen;
    QStringList errors;
    for (const QString &candidate : miniblinkCandidatePaths()) {
        if (!QFileInfo(candidate).isFile())
            continue;
        QLibrary probe;
        QString error;
        if (tryLoadMiniBlinkModule(candidate, probe, &error)) {
            chosen = candidate;
            probe.unload();
            break;
        }
        if (!error.isEmpty())
            errors.append(error);
    }
    if (chosen.isEmpty()) {
        g_miniblinkInitError =
            errors.isEmpty()
                ? QStringLiteral("No MiniBlink runtime found under: %1").arg(app::applicationDirPath())
                : QStringLiteral("MiniBlink load failed: %1").arg(errors.join(QStringLiteral(" | ")));
        TVX_LOG_WARN << "[MiniBlink]" << g_miniblinkInitError;
        return false;
    }

    QStringList missing;
    const int result = loadWkeEngine(chosen, &missing);
    TVX_LOG_INFO << "[MiniBlink] wkeInitialize result =" << result << "dll=" << chosen;
    if (result != 1) {
        g_miniblinkInitError = QStringLiteral("wkeInitialize failed for dll: %1").arg(chosen);
        if (!missing.isEmpty())
            g_miniblinkInitError += QStringLiteral(" (missing: %1)").arg(missing.join(QStringLiteral(", ")));
        TVX_LOG_WARN << "[MiniBlink]" << g_miniblinkInitError;
        return false;
    }
    g_miniblinkInitialized = true;
    g_miniblinkInitError.clear();
    return true;
}

const WkeFunctions *miniblinkFunctions()
{
    return g_miniblinkInitialized ? &g_functions : nullptr;
}

QString miniblinkInitError()
{
    return g_miniblinkInitError;
}

} // namespace webview
