// Track labels and lookups over the converted "track-list", and the audio-device entries.
#include "player/MpvTrackList.h"

#include "i18n/I18n.h"
#include "player/mpv/MpvNames.h"

#include <QFileInfo>
#include <QUrl>
#include <QVariantMap>

namespace {

// The text of a node value: integers in decimal, doubles with six significant digits.
QString valueText(const QVariant &value)
{
    switch (value.userType()) {
    case QMetaType::LongLong:
        return QString::number(value.toLongLong());
    case QMetaType::Double:
        return QString::number(value.toDouble(), 'g', 6);
    case QMetaType::QString:
        return value.toString();
    default:
        return QString();
    }
}

bool valueFlag(const QVariant &value)
{
    if (value.userType() == QMetaType::Bool)
        return value.toBool();
    if (value.userType() == QMetaType::LongLong)
        return value.toLongLong() != 0;
    return false;
}

// The track's id, or -1 when it has none usable.
qint64 trackId(const QVariantMap &entry)
{
    const QVariant id = entry.value(QLatin1String(mpvname::kIdKey));
    if (id.userType() == QMetaType::LongLong)
        return id.toLongLong();
    if (id.userType() == QMetaType::Double)
        return static_cast<qint64>(id.toDouble());
    return -1;
}

QString entryText(const QVariantMap &entry, const char *key)
{
    return valueText(entry.value(QLatin1String(key)));
}

} // namespace

void MpvTrackList::setTracks(const QVariant &trackList)
{
    m_tracks = trackList.userType() == QMetaType::QVariantList ? trackList.toList() : QVariantList();
}

QVariantList MpvTrackList::tracksByType(const QString &type) const
{
    QVariantList result;
    const bool audio = type == QLatin1String("audio");
    const QString kind =
        i18n::t(audio ? QStringLiteral("player.track.audio") : QStringLiteral("player.track.subtitle"));
    for (const QVariant &item : m_tracks) {
        const QVariantMap entry = item.toMap();
        if (entryText(entry, mpvname::kTypeKey) != type)
            continue;
        const qint64 id = trackId(entry);
        if (id < 0)
            continue;
        const QString title = entryText(entry, mpvname::kTitleKey);
        const QString lang = entryText(entry, mpvname::kLangKey);

        QString label = title;
        if (!audio) {
            label = fileNameFromTrackLabelPath(entryText(entry, mpvname::kExternalFilenameKey));
            if (label.isEmpty())
                label = fileNameFromTrackLabelPath(title);
            if (label.isEmpty())
                label = title.trimmed();
        }
        if (label.isEmpty() && !lang.isEmpty())
            label = i18n::t(QStringLiteral("player.track.with_lang"),
                            {{QStringLiteral("type"), kind}, {QStringLiteral("lang"), lang}});
        if (label.isEmpty())
            label = i18n::t(QStringLiteral("player.track.with_index"),
                            {{QStringLiteral("type"), kind}, {QStringLiteral("id"), id}});
        result.append(QVariantMap{
            {QStringLiteral("id"), static_cast<int>(id)},
            {QStringLiteral("title"), label},
            {QStringLiteral("selected"), valueFlag(entry.value(QLatin1String(mpvname::kSelectedKey)))}});
    }
    return result;
}

bool MpvTrackList::hasAlbumArt() const
{
    for (const QVariant &item : m_tracks) {
        const QVariantMap entry = item.toMap();
        if (entryText(entry, mpvname::kTypeKey) == QLatin1String("video") &&
            valueFlag(entry.value(QLatin1String(mpvname::kAlbumArtKey))))
            return true;
    }
    return false;
}

bool MpvTrackList::contains(const QString &type, int id) const
{
    for (const QVariant &item : m_tracks) {
        const QVariantMap entry = item.toMap();
        if (entryText(entry, mpvname::kTypeKey) == type && trackId(entry) == id)
            return true;
    }
    return false;
}

QVariantList MpvTrackList::audioOutputDevices(const QVariant &deviceList)
{
    QVariantList result;
    result.append(
        QVariantMap{{QStringLiteral("id"), QStringLiteral("auto")},
                    {QStringLiteral("name"), i18n::t(QStringLiteral("player.audio_device.system_default"))}});
    for (const QVariant &item : deviceList.toList()) {
        const QVariantMap entry = item.toMap();
        const QString name = entryText(entry, mpvname::kNameKey);
        if (name.isEmpty())
            continue;
        QString description = entryText(entry, mpvname::kDescriptionKey);
        if (description.isEmpty())
            description = name;
        result.append(QVariantMap{{QStringLiteral("id"), name}, {QStringLiteral("name"), description}});
    }
    return result;
}

QString MpvTrackList::fileNameFromTrackLabelPath(const QString &text)
{
    QString t = text.trimmed();
    if (t.isEmpty())
        return QString();
    if (t.startsWith(QLatin1String("file://"), Qt::CaseInsensitive)) {
        const QUrl url(t, QUrl::TolerantMode);
        if (url.isLocalFile())
            t = url.toLocalFile();
    }
    t.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QFileInfo(t).fileName();
}
