// The catalog as QML sees it: context property "i18n" with t(key[, args]) and locale.
#pragma once

#include "i18n/I18nCatalog.h"

#include <QObject>
#include <QString>
#include <QVariantMap>

// Used on the GUI thread only, so it takes no lock; its catalog is separate from the
// process-wide one of i18n::t.
class I18nService : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString locale READ locale CONSTANT)

public:
    explicit I18nService(QObject *parent = nullptr);
    ~I18nService() override;

    // Call before publishing the object: the locale is a constant for QML.
    bool initialize(const QString &resourcePath, const QString &locale);

    QString locale() const;

    Q_INVOKABLE QString t(const QString &key, const QVariantMap &args) const;
    Q_INVOKABLE QString t(const QString &key) const;

private:
    I18nCatalog m_catalog;
    QString m_locale;
};
