// The persistent play list: editing, playback-mode advances and "playlist.ini".
#include "player/PlaylistModel.h"

#include "core/AppPaths.h"
#include "core/FileUrl.h"
#include "core/Log.h"
#include "core/StateFile.h"
#include "media/MediaFormats.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QSettings>

#include <algorithm>

namespace {

const QString kPlaylistFileName = QStringLiteral("playlist.ini");
const QString kPlaylistGroup = QStringLiteral("playlist");
const QString kItemsArrayKey = QStringLiteral("playlist/items");
const QString kTitleKey = QStringLiteral("title");
const QString kMetaKey = QStringLiteral("meta");
const QString kTagKey = QStringLiteral("tag");
const QString kSourcePathKey = QStringLiteral("source_path");
const QString kPlaybackModeKey = QStringLiteral("playlist/playback_mode");
const QString kPlaybackModeExplicitKey = QStringLiteral("playlist/playback_mode_explicit");
const QString kVideoTag = QStringLiteral("VIDEO");
const QString kAudioTag = QStringLiteral("AUDIO");

constexpr unsigned kLastPlaybackMode = PlaylistModel::ShuffleLoopPlayback;

// What the entries may take of the file: the reader's bound less room for the other keys.
constexpr qint64 kEntriesBytesBudget = app::kPlaylistStateFileMaxBytes - 1024 * 1024;

QString absoluteForwardSlashPath(const QString &path)
{
    if (path.isEmpty())
        return QString();
    return QDir::fromNativeSeparators(QFileInfo(path).absoluteFilePath());
}

} // namespace

// Collects the saves of one operation into a single write at its end: a batch of additions or
// a prune over thousands of entries would otherwise rewrite the whole file once per entry.
// The file ends with the same content either way, and is written before the operation returns.
class PlaylistModel::SaveBatch
{
public:
    explicit SaveBatch(PlaylistModel &model) : m_model(model) { ++m_model.m_saveBatchDepth; }
    ~SaveBatch()
    {
        if (--m_model.m_saveBatchDepth == 0 && m_model.m_savePending) {
            m_model.m_savePending = false;
            m_model.writeSettings();
        }
    }
    SaveBatch(const SaveBatch &) = delete;
    SaveBatch &operator=(const SaveBatch &) = delete;

private:
    PlaylistModel &m_model;
};

PlaylistModel::PlaylistModel(QObject *parent)
    : QAbstractListModel(parent),
      m_settings(std::make_unique<QSettings>(
          app::checkedStateFile(app::appDataFilePath(kPlaylistFileName), app::kPlaylistStateFileMaxBytes),
          QSettings::IniFormat))
{
    // Writes go through a temporary file and a rename: a crash mid-write never leaves a
    // truncated play list behind.
    m_settings->setAtomicSyncRequired(true);
    load();
}

PlaylistModel::~PlaylistModel() = default;

int PlaylistModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_items.size();
}

QVariant PlaylistModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.parent().isValid() || index.row() < 0 || index.row() >= m_items.size())
        return QVariant();
    const PlaylistItem &item = m_items.at(index.row());
    switch (role) {
    case TitleRole:
        return item.title;
    case MetaRole:
        return item.meta;
    case TagRole:
        return item.tag;
    case SourcePathRole:
        return item.sourcePath;
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> PlaylistModel::roleNames() const
{
    return {
        {TitleRole, QByteArrayLiteral("title")},
        {MetaRole, QByteArrayLiteral("meta")},
        {TagRole, QByteArrayLiteral("tag")},
        {SourcePathRole, QByteArrayLiteral("sourcePath")},
    };
}

const PlaylistModel::PlaylistItem *PlaylistModel::currentItem() const
{
    if (m_currentIndex < 0 || m_currentIndex >= m_items.size())
        return nullptr;
    return &m_items.at(m_currentIndex);
}

QUrl PlaylistModel::currentFileUrl() const
{
    const PlaylistItem *item = currentItem();
    return item ? QUrl::fromLocalFile(item->sourcePath) : QUrl();
}

QString PlaylistModel::currentTitle() const
{
    const PlaylistItem *item = currentItem();
    return item ? item->title : QString();
}

QString PlaylistModel::currentSourcePath() const
{
    const PlaylistItem *item = currentItem();
    return item ? item->sourcePath : QString();
}

QStringList PlaylistModel::sourcePaths() const
{
    QStringList paths;
    paths.reserve(m_items.size());
    for (const PlaylistItem &item : m_items) {
        if (!item.sourcePath.isEmpty())
            paths.append(item.sourcePath);
    }
    return paths;
}

QString PlaylistModel::normalizedSourcePath(const QUrl &fileUrl)
{
    if (!fileUrl.isValid() || fileUrl.isEmpty())
        return QString();
    if (fileUrl.isLocalFile())
        return absoluteForwardSlashPath(fileUrl.toLocalFile());

    const QString text = fileUrl.toString().trimmed();
    if (text.isEmpty())
        return QString(); // a blank text would otherwise name the working folder
    if (text.startsWith(QLatin1String("file:/"))) {
        const QUrl reparsed(text, QUrl::TolerantMode);
        return reparsed.isLocalFile() ? absoluteForwardSlashPath(reparsed.toLocalFile()) : QString();
    }
    return absoluteForwardSlashPath(text);
}

QString PlaylistModel::fileNameFromPath(const QString &path)
{
    return QFileInfo(path).fileName();
}

QString PlaylistModel::baseNameFromFileName(const QString &fileName)
{
    return QFileInfo(fileName).completeBaseName();
}

QString PlaylistModel::mediaTagFromPath(const QString &path)
{
    return media::isVideoPath(path) ? kVideoTag : kAudioTag;
}

bool PlaylistModel::isSupportedMediaFile(const QString &path)
{
    return !path.isEmpty() && media::isSupportedPlayablePath(path);
}

qint64 PlaylistModel::savedBytesBound(const PlaylistItem &item)
{
    // QSettings writes a UTF-16 unit as at most six bytes ("\xffff"), quotes a value and
    // spends a key of at most 40 bytes ("items\100000\source_path=") on each of four values.
    const qint64 units = item.title.size() + item.meta.size() + item.tag.size() + item.sourcePath.size();
    return 6 * units + 4 * (40 + 2 + 1);
}

PlaylistModel::PlaylistItem PlaylistModel::newItem(const QString &sourcePath, const QString &title)
{
    PlaylistItem item;
    item.meta = fileNameFromPath(sourcePath);
    item.title = title.trimmed();
    if (item.title.isEmpty())
        item.title = baseNameFromFileName(item.meta);
    item.tag = mediaTagFromPath(sourcePath);
    item.sourcePath = sourcePath;
    return item;
}

bool PlaylistModel::hasRoomFor(const PlaylistItem &item) const
{
    return m_items.size() < kMaxEntries && m_savedBytesBound + savedBytesBound(item) <= kEntriesBytesBudget;
}

int PlaylistModel::rowOfPath(const QString &sourcePath) const
{
    if (sourcePath.isEmpty() || !m_listedPaths.contains(sourcePath))
        return -1;
    for (int row = 0; row < m_items.size(); ++row) {
        if (m_items.at(row).sourcePath == sourcePath)
            return row;
    }
    return -1;
}

void PlaylistModel::announceCurrentFile()
{
    emit currentFileUrlChanged();
}

void PlaylistModel::setCurrentIndexInternal(int index, bool saveAfter, bool announce)
{
    if (index < 0 || index >= m_items.size())
        index = -1;
    const QUrl previousFileUrl = currentFileUrl();
    if (index == m_currentIndex) {
        if (announce)
            announceCurrentFile();
        if (saveAfter)
            save();
        return;
    }
    m_currentIndex = index;
    emit currentIndexChanged();
    if (announce || currentFileUrl() != previousFileUrl)
        announceCurrentFile();
    if (saveAfter)
        save();
}

void PlaylistModel::setCurrentIndex(int index)
{
    setCurrentIndexInternal(index, true, false);
}

int PlaylistModel::addFile(const QUrl &fileUrl, const QString &title, bool makeCurrent)
{
    const QString path = normalizedSourcePath(fileUrl);
    if (!isSupportedMediaFile(path))
        return -1;

    const int existingRow = rowOfPath(path);
    if (existingRow >= 0) {
        if (makeCurrent)
            setCurrentIndexInternal(existingRow, true, false);
        return existingRow;
    }

    const PlaylistItem item = newItem(path, title);
    if (!hasRoomFor(item)) {
        TVX_LOG_WARN << "[Playlist] full at" << m_items.size() << "entries; not added:" << path;
        return -1;
    }

    const int row = m_items.size();
    beginInsertRows(QModelIndex(), row, row);
    m_items.append(item);
    m_listedPaths.insert(item.sourcePath);
    m_savedBytesBound += savedBytesBound(item);
    endInsertRows();
    emit countChanged();
    if (makeCurrent)
        setCurrentIndexInternal(row, false, false);
    save();
    return row;
}

void PlaylistModel::addFiles(const QVariantList &fileUrls, bool preserveCurrent)
{
    if (fileUrls.isEmpty())
        return;
    SaveBatch batch(*this);
    const bool keepCurrent = preserveCurrent && m_currentIndex >= 0;
    int firstRow = -1;
    for (const QVariant &entry : fileUrls) {
        const QUrl url = entry.userType() == QMetaType::QString ? QUrl(entry.toString()) : entry.toUrl();
        const int row = addFile(url, QString(), false);
        if (firstRow < 0 && row >= 0)
            firstRow = row;
    }
    if (!keepCurrent && firstRow >= 0)
        setCurrentIndexInternal(firstRow, true, false);
}

bool PlaylistModel::removeRowInternal(int index)
{
    if (index < 0 || index >= m_items.size())
        return false;

    const int oldIndex = m_currentIndex;
    // Taken before the row goes: afterwards the old index may name the following file, and
    // comparing against that would replay the current file when an earlier row is removed.
    const QUrl oldFileUrl = currentFileUrl();
    const bool removedCurrent = index == oldIndex;
    const CurrentRemovalPolicy policy = m_playbackMode == SinglePlayback ? StopPlayback : AdvanceToNextItem;

    int newIndex = oldIndex;
    const int remaining = m_items.size() - 1;
    if (remaining == 0)
        newIndex = -1;
    else if (removedCurrent)
        newIndex = policy == StopPlayback ? -1 : std::min(index, remaining - 1);
    else if (oldIndex > index)
        newIndex = oldIndex - 1;

    beginRemoveRows(QModelIndex(), index, index);
    m_listedPaths.remove(m_items.at(index).sourcePath);
    m_savedBytesBound -= savedBytesBound(m_items.at(index));
    m_items.removeAt(index);
    // Set before any listener runs, so nobody reads an index that points at the wrong row.
    m_currentIndex = newIndex;
    endRemoveRows();
    emit countChanged();
    if (newIndex != oldIndex)
        emit currentIndexChanged();
    if (removedCurrent || currentFileUrl() != oldFileUrl)
        announceCurrentFile();
    save();
    return true;
}

bool PlaylistModel::removeAt(int index)
{
    return removeRowInternal(index);
}

void PlaylistModel::clear()
{
    if (!m_items.isEmpty() || m_currentIndex != -1) {
        beginResetModel();
        m_items.clear();
        m_listedPaths.clear();
        m_savedBytesBound = 0;
        m_currentIndex = -1;
        endResetModel();
        emit countChanged();
        emit currentIndexChanged();
        emit currentFileUrlChanged();
    }
    save();
}

int PlaylistModel::pruneMissingFiles()
{
    QVector<int> missingRows;
    for (int row = 0; row < m_items.size(); ++row) {
        if (!QFileInfo::exists(m_items.at(row).sourcePath))
            missingRows.append(row);
    }
    if (missingRows.isEmpty())
        return 0;
    SaveBatch batch(*this);
    for (auto it = missingRows.crbegin(); it != missingRows.crend(); ++it)
        removeRowInternal(*it);
    return missingRows.size();
}

bool PlaylistModel::activateIndex(int index)
{
    if (index < 0 || index >= m_items.size())
        return false;
    if (index == m_currentIndex) {
        announceCurrentFile();
        save();
        return true;
    }
    setCurrentIndexInternal(index, true, false);
    return true;
}

bool PlaylistModel::activateExistingItemFromIndex(int startRow, bool wrap)
{
    if (m_items.isEmpty())
        return false;
    int row = startRow;
    if (row < 0 || row >= m_items.size()) {
        if (!wrap)
            return false;
        row = 0;
    }
    SaveBatch batch(*this);
    // Each turn either ends the search or removes one vanished entry, so it always ends.
    while (!m_items.isEmpty()) {
        if (row >= m_items.size()) {
            if (!wrap)
                return false;
            row = 0;
            continue;
        }
        if (QFileInfo::exists(m_items.at(row).sourcePath)) {
            setCurrentIndexInternal(row, true, false);
            return true;
        }
        removeRowInternal(row);
    }
    return false;
}

bool PlaylistModel::activateNext()
{
    if (m_items.isEmpty())
        return false;
    const bool fromStart = m_currentIndex < 0 || m_currentIndex >= m_items.size() - 1;
    return activateExistingItemFromIndex(fromStart ? 0 : m_currentIndex + 1, true);
}

bool PlaylistModel::activatePrevious()
{
    if (m_items.isEmpty())
        return false;
    const int target = m_currentIndex <= 0 ? m_items.size() - 1 : m_currentIndex - 1;
    setCurrentIndexInternal(target, true, false);
    return true;
}

bool PlaylistModel::alignCurrentIndexToFile(const QUrl &fileUrl)
{
    const QString path = normalizedSourcePath(fileUrl);
    if (path.isEmpty() || m_items.isEmpty())
        return false;
    const int row = rowOfPath(path);
    if (row < 0)
        return false;
    if (row != m_currentIndex)
        setCurrentIndexInternal(row, true, false);
    return true;
}

bool PlaylistModel::advanceForPlaybackCompletion()
{
    if (m_items.isEmpty() || !currentItem())
        return false;

    switch (m_playbackMode) {
    case SinglePlayback:
        return false;
    case SequentialPlayback:
        if (m_currentIndex + 1 >= m_items.size())
            return false;
        return activateExistingItemFromIndex(m_currentIndex + 1, false);
    case ListLoopPlayback: {
        const QUrl finishedFileUrl = currentFileUrl();
        SaveBatch batch(*this);
        const bool found = activateExistingItemFromIndex((m_currentIndex + 1) % m_items.size(), true);
        // The search lands on the finished file itself when it is the only one left; a list
        // loop must play it again rather than fall silent.
        if (found && currentFileUrl() == finishedFileUrl) {
            announceCurrentFile();
            save();
        }
        return found;
    }
    case SingleLoopPlayback:
        announceCurrentFile();
        save();
        return true;
    case ShuffleLoopPlayback: {
        SaveBatch batch(*this);
        pruneMissingFiles();
        if (m_items.isEmpty() || !currentItem())
            return false;
        if (m_items.size() == 1) {
            announceCurrentFile();
            save();
            return true;
        }
        int row = m_currentIndex;
        while (row == m_currentIndex)
            row = static_cast<int>(QRandomGenerator::global()->bounded(static_cast<quint32>(m_items.size())));
        setCurrentIndexInternal(row, true, false);
        return true;
    }
    default:
        return false;
    }
}

bool PlaylistModel::advanceForPlaybackCompletionFromFile(const QUrl &fileUrl)
{
    const QString path = normalizedSourcePath(fileUrl);
    const int row = rowOfPath(path);
    if (row >= 0 && row != m_currentIndex) {
        // Only re-anchors the advance on the file that really finished; nothing is played here.
        m_currentIndex = row;
        emit currentIndexChanged();
        save();
    }
    return advanceForPlaybackCompletion();
}

bool PlaylistModel::containsFile(const QUrl &fileUrl) const
{
    return rowOfPath(normalizedSourcePath(fileUrl)) >= 0;
}

bool PlaylistModel::isSupportedFileUrl(const QUrl &fileUrl) const
{
    return isSupportedMediaFile(normalizedSourcePath(fileUrl));
}

QString PlaylistModel::refusalReason(const QUrl &fileUrl) const
{
    const QString path = normalizedSourcePath(fileUrl);
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return app::urlNamesUnreadableExistingFile(fileUrl) ? QStringLiteral("encoding")
                                                            : QStringLiteral("missing");
    if (info.isDir())
        return QStringLiteral("folder");
    if (media::isSupportedSubtitlePath(path))
        return QStringLiteral("subtitle");
    if (!isSupportedMediaFile(path))
        return QStringLiteral("unsupported");
    if (rowOfPath(path) < 0 && !hasRoomFor(newItem(path, QString())))
        return QStringLiteral("full");
    return QString();
}

void PlaylistModel::setPlaybackMode(int mode)
{
    if (static_cast<unsigned>(mode) > kLastPlaybackMode)
        mode = SinglePlayback;
    if (mode == m_playbackMode && m_playbackModeExplicit)
        return;
    m_playbackMode = mode;
    m_playbackModeExplicit = true;
    emit playbackModeChanged();
    save();
}

void PlaylistModel::save()
{
    if (m_saveBatchDepth > 0) {
        m_savePending = true;
        return;
    }
    writeSettings();
}

void PlaylistModel::writeSettings()
{
    QSettings &settings = *m_settings;
    if (!m_loadedWhole) {
        // What did not load is still in the file: it is kept beside it before the rewrite.
        app::keepStateFileCopy(settings.fileName());
        m_loadedWhole = true;
    }
    settings.remove(kPlaylistGroup);
    settings.beginWriteArray(kItemsArrayKey, m_items.size());
    for (int row = 0; row < m_items.size(); ++row) {
        const PlaylistItem &item = m_items.at(row);
        settings.setArrayIndex(row);
        settings.setValue(kTitleKey, item.title);
        settings.setValue(kMetaKey, item.meta);
        settings.setValue(kTagKey, item.tag);
        settings.setValue(kSourcePathKey, item.sourcePath);
    }
    settings.endArray();
    settings.setValue(kPlaybackModeKey, m_playbackMode);
    settings.setValue(kPlaybackModeExplicitKey, m_playbackModeExplicit);
    // Kept open for the model's life, so the check when it was opened does not cover a lock
    // left since by another process.
    app::clearStaleStateLock(settings.fileName());
    settings.sync();
    // QSettings keeps its first error for good, so only that first failure is worth a line.
    if (settings.status() != QSettings::NoError && !m_writeFailureLogged) {
        m_writeFailureLogged = true;
        TVX_LOG_WARN << "[Playlist] could not write" << settings.fileName();
    }
}

void PlaylistModel::load()
{
    QSettings &settings = *m_settings;

    beginResetModel();
    m_items.clear();
    m_listedPaths.clear();
    m_savedBytesBound = 0;
    m_currentIndex = -1;

    // Every numbered entry the file holds is read, in index order, whatever its size line
    // says: a damaged size (missing, negative, too small or 2000000000) must neither hide
    // entries nor cost a lookup per claimed entry.
    settings.beginGroup(kItemsArrayKey);
    bool sizeIsNumber = false;
    const QVariant sizeValue = settings.value(QStringLiteral("size"));
    const int declaredSize = sizeValue.toString().toInt(&sizeIsNumber);
    QVector<QPair<qlonglong, QString>> entries;
    for (const QString &group : settings.childGroups()) {
        bool ok = false;
        const qlonglong number = group.toLongLong(&ok);
        if (ok)
            entries.append(qMakePair(number, group));
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const QPair<qlonglong, QString> &a, const QPair<qlonglong, QString> &b) {
                         return a.first < b.first;
                     });

    int skipped = 0;
    for (const auto &entry : qAsConst(entries)) {
        const QString prefix = entry.second + QLatin1Char('/');
        PlaylistItem item;
        item.sourcePath = settings.value(prefix + kSourcePathKey).toString().trimmed();
        if (!isSupportedMediaFile(item.sourcePath) || m_listedPaths.contains(item.sourcePath)) {
            ++skipped;
            continue;
        }
        // Names come back as they were saved: a file named " a .mp4" keeps its blanks.
        item.meta = settings.value(prefix + kMetaKey).toString();
        if (item.meta.trimmed().isEmpty())
            item.meta = fileNameFromPath(item.sourcePath);
        item.title = settings.value(prefix + kTitleKey).toString();
        if (item.title.trimmed().isEmpty())
            item.title = baseNameFromFileName(item.meta);
        item.tag = settings.value(prefix + kTagKey).toString().trimmed();
        if (item.tag.isEmpty())
            item.tag = mediaTagFromPath(item.sourcePath);
        m_listedPaths.insert(item.sourcePath);
        m_savedBytesBound += savedBytesBound(item);
        m_items.append(item);
    }
    const bool numberedInOrder =
        entries.isEmpty() || (entries.first().first == 1 && entries.last().first == entries.size());
    const bool sizeMatches =
        sizeValue.isValid() ? (sizeIsNumber && declaredSize == entries.size()) : entries.isEmpty();
    m_loadedWhole = skipped == 0 && numberedInOrder && sizeMatches;
    settings.endGroup();
    endResetModel();

    m_playbackModeExplicit = settings.value(kPlaybackModeExplicitKey, false).toBool();
    bool modeIsNumber = false;
    int mode = settings.value(kPlaybackModeKey, SequentialPlayback).toInt(&modeIsNumber);
    if (!modeIsNumber || static_cast<unsigned>(mode) > kLastPlaybackMode)
        mode = SequentialPlayback;
    if (mode == SinglePlayback && !m_playbackModeExplicit)
        mode = SequentialPlayback;
    m_playbackMode = mode;
}
