// QML-facing message catalog service.
#include "i18n/I18nService.h"

#include "core/Log.h"

I18nService::I18nService(QObject *parent) : QObject(parent) {}

I18nService::~I18nService() = default;

bool I18nService::initialize(const QString &resourcePath, const QString &locale)
{
    m_locale = locale;
    if (!m_catalog.loadFromResource(resourcePath)) {
        TVX_LOG_ERROR << "[I18n] Initialization failed. locale=" << m_locale
                      << "resourcePath=" << resourcePath;
        return false;
    }
    TVX_LOG_INFO << "[I18n] Initialization succeeded. locale=" << m_locale << "resourcePath=" << resourcePath;
    return true;
}

QString I18nService::locale() const
{
    return m_locale;
}

QString I18nService::t(const QString &key, const QVariantMap &args) const
{
    return m_catalog.translate(key, args);
}

QString I18nService::t(const QString &key) const
{
    return m_catalog.translate(key, QVariantMap());
}
