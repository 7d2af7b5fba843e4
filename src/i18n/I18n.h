// Process-wide message catalog for code; callable from any thread.
#pragma once

#include <QString>
#include <QVariantMap>

namespace i18n {

// Loads the catalog resource into the process-wide catalog; true when it could be read.
bool initialize(const QString &resourcePath);

// The text of key with "%{name}" placeholders filled from args, or "[[key]]" when absent.
QString t(const QString &key, const QVariantMap &args = QVariantMap());

} // namespace i18n
