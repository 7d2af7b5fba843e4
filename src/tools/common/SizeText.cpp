// The short size text of the task lists.
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

} // namespace tools
