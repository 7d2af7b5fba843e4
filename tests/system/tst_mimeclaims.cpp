// The MIME types the program claims against the machine's shared-mime-info: a desktop hands the
// program every file whose name resolves to a claimed type, so each such name must open.
#include "media/MediaFormats.h"
#include "system/DesktopAssoc.h"

#include <QFile>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QtTest>

namespace {

const char kGlobs[] = "/usr/share/mime/globs2";

struct Glob
{
    QString mimeType;
    QString pattern;
};

// "weight:type:pattern[:flags]" lines; comments and blank lines skipped.
QVector<Glob> readGlobs(bool *ok)
{
    QVector<Glob> globs;
    QFile file(QString::fromLatin1(kGlobs));
    *ok = file.open(QIODevice::ReadOnly);
    if (!*ok)
        return globs;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QLatin1Char(':'));
        if (fields.size() >= 3)
            globs.append({fields.at(1), fields.at(2)});
    }
    return globs;
}

// A file name the glob matches: "*" becomes a stem, a bracket class its first member, "?" a letter
// ("[0-9][0-9][0-9].vdr" gives "000.vdr").
QString sampleName(const QString &pattern)
{
    QString name = pattern;
    name.replace(QRegularExpression(QStringLiteral("\\[!?(.)[^\\]]*\\]")), QStringLiteral("\\1"));
    name.replace(QLatin1Char('*'), QStringLiteral("clip"));
    name.replace(QLatin1Char('?'), QLatin1Char('x'));
    return name;
}

} // namespace

class MimeClaimsTest : public QObject
{
    Q_OBJECT
private slots:
    // For every claimed type, each name shared-mime-info resolves to that type opens in the
    // player (a glob another type outweighs, as audio/aac's "*.ass" under the subtitles' type,
    // never reaches the program as that type).
    void everyNameOfAClaimedTypeOpens()
    {
        bool ok = false;
        const QVector<Glob> globs = readGlobs(&ok);
        QVERIFY2(ok, kGlobs);
        const QMimeDatabase database;
        QStringList refused;
        for (const QString &mimeType : desktop_assoc::programMimeTypes()) {
            int names = 0;
            for (const Glob &glob : globs) {
                if (glob.mimeType != mimeType)
                    continue;
                const QString name = sampleName(glob.pattern);
                bool given = false;
                for (const QMimeType &type : database.mimeTypesForFileName(name))
                    given = given || type.name() == mimeType;
                if (!given)
                    continue;
                ++names;
                if (!media::isSupportedPlayablePath(QStringLiteral("/media/") + name))
                    refused << QStringLiteral("%1 (%2)").arg(name, mimeType);
            }
            if (names == 0)
                refused << QStringLiteral("%1 has no file name of its own").arg(mimeType);
        }
        QVERIFY2(refused.isEmpty(), qPrintable(refused.join(QStringLiteral(", "))));
    }

    // The claims are the database's own names, each once: a desktop matches them literally.
    void claimedTypesAreCanonicalAndDistinct()
    {
        const QMimeDatabase database;
        const QStringList claimed = desktop_assoc::programMimeTypes();
        QVERIFY(!claimed.isEmpty());
        QCOMPARE(claimed, media::claimedMimeTypeNames());
        for (const QString &mimeType : claimed) {
            QCOMPARE(claimed.count(mimeType), 1);
            QCOMPARE(database.mimeTypeForName(mimeType).name(), mimeType);
        }
    }

    // The desktop entry the registration and the installation write lists exactly the table.
    void desktopEntryListsTheTable()
    {
        const QString entry = desktop_assoc::desktopEntry(
            QStringLiteral("Tavrixo"), QStringLiteral("tavrixo"), desktop_assoc::programMimeTypes());
        const QString line = entry.section(QStringLiteral("\nMimeType="), 1).section(QLatin1Char('\n'), 0, 0);
        QCOMPARE(line, media::claimedMimeTypeNames().join(QLatin1Char(';')) + QLatin1Char(';'));
    }
};

QTEST_GUILESS_MAIN(MimeClaimsTest)
#include "tst_mimeclaims.moc"
