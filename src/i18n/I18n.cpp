// Process-wide catalog behind i18n::t, shared by the GUI thread and pool threads.
#include "i18n/I18n.h"

#include "i18n/I18nCatalog.h"

#include <QMutex>
#include <QMutexLocker>

namespace {
I18nCatalog g_catalog;
bool g_initialized = false;
QMutex g_i18nMutex;
} // namespace

namespace i18n {

bool initialize(const QString &resourcePath)
{
    QMutexLocker locker(&g_i18nMutex);
    g_initialized = g_catalog.loadFromResource(resourcePath);
    return g_initialized;
}

QString t(const QString &key, const QVariantMap &args)
{
    QMutexLocker locker(&g_i18nMutex);
    if (!g_initialized)
        return QStringLiteral("[[%1]]").arg(key);
    return g_catalog.translate(key, args);
}

} // namespace i18n
