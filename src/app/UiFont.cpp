#include "app/UiFont.h"

#include <QFontDatabase>

namespace app {

QString chooseUiFontFamily(const QStringList &installedFamilies, const QStringList &cjkCapableFamilies)
{
    const QStringList ordered = {
        QStringLiteral("微软雅黑"),
        QStringLiteral("Microsoft YaHei"),
        QStringLiteral("Noto Sans CJK SC"),
        QStringLiteral("Noto Sans SC"),
        QStringLiteral("Source Han Sans SC"),
        QStringLiteral("Source Han Sans CN"),
        QStringLiteral("WenQuanYi Micro Hei"),
        QStringLiteral("WenQuanYi Zen Hei"),
        QStringLiteral("Droid Sans Fallback"),
        QStringLiteral("AR PL UMing CN"),
    };
    for (const QString &family : ordered) {
        if (installedFamilies.contains(family, Qt::CaseInsensitive))
            return family;
    }
    for (const QString &family : cjkCapableFamilies) {
        if (installedFamilies.contains(family, Qt::CaseInsensitive))
            return family;
    }
    return QStringLiteral("Microsoft YaHei");
}

QString uiFontFamily()
{
    const QFontDatabase database;
    return chooseUiFontFamily(database.families(), database.families(QFontDatabase::SimplifiedChinese));
}

} // namespace app
