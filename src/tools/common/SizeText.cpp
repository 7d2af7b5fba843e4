// The byte-size texts of the tools.
#include "tools/common/SizeText.h"

namespace tools {

QString shortFileSizeText(qint64 bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1B").arg(qMax<qint64>(0, bytes));
    double x = static_cast<double>(bytes) / 1024.0;
    QChar unit = QLatin1Char('K');
    for (const char larger : {'M', 'G'}) {
        if (x < 1024.0)
            break;
        x /= 1024.0;
        unit = QLatin1Char(larger);
    }
    return QString::number(x, 'f', x < 100.0 ? 1 : 0) + unit;
}

QString twoDecimalFileSizeText(qint64 bytes)
{
    if (bytes <= 0)
        return QStringLiteral("%1KB").arg(QString::number(0.0, 'f', 2));
    double x = static_cast<double>(bytes) / 1024.0;
    QString unit = QStringLiteral("KB");
    for (const char *larger : {"MB", "GB"}) {
        if (x < 1024.0)
            break;
        x /= 1024.0;
        unit = QString::fromLatin1(larger);
    }
    return QString::number(x, 'f', 2) + unit;
}

QString megabyteSizeText(qint64 bytes)
{
    const double megabytes = static_cast<double>(bytes) / 1048576.0;
    if (megabytes < 1024)
        return QStringLiteral("%1 MB").arg(QString::number(megabytes, 'f', 1));
    return QStringLiteral("%1 GB").arg(QString::number(megabytes / 1024.0, 'f', 2));
}

} // namespace tools
