// Placeholder runtime until the catalog lands: every key reads as missing.
#include "i18n/I18n.h"

namespace i18n {
bool initialize(const QString &) { return false; }
QString t(const QString &key, const QVariantMap &) { return QStringLiteral("[[%1]]").arg(key); }
} // namespace i18n
