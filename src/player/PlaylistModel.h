// The application's one persistent play list: local media files, a current item and a playback mode.
#pragma once

#include <QAbstractListModel>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantList>
#include <QVector>

#include <memory>

class QSettings;

class PlaylistModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int currentIndex READ currentIndex WRITE setCurrentIndex NOTIFY currentIndexChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(QUrl currentFileUrl READ currentFileUrl NOTIFY currentFileUrlChanged)
    Q_PROPERTY(QString currentTitle READ currentTitle NOTIFY currentFileUrlChanged)
    Q_PROPERTY(QString currentSourcePath READ currentSourcePath NOTIFY currentFileUrlChanged)
    Q_PROPERTY(int playbackMode READ playbackMode WRITE setPlaybackMode NOTIFY playbackModeChanged)

public:
    enum PlaylistRoles {
        TitleRole = Qt::UserRole + 1,
        MetaRole,
        TagRole,
        SourcePathRole,
    };
    Q_ENUM(PlaylistRoles)

    enum PlaybackMode {
        SinglePlayback = 0,
        SequentialPlayback = 1,
        ListLoopPlayback = 2,
        SingleLoopPlayback = 3,
        ShuffleLoopPlayback = 4,
    };
    Q_ENUM(PlaybackMode)

    enum CurrentRemovalPolicy {
        AdvanceToNextItem = 0,
        StopPlayback = 1,
    };
    Q_ENUM(CurrentRemovalPolicy)

    struct PlaylistItem
    {
        QString title;
        QString meta;
        QString tag;
        QString sourcePath;
    };

    explicit PlaylistModel(QObject *parent = nullptr);
    ~PlaylistModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int currentIndex() const { return m_currentIndex; }
    int count() const { return m_items.size(); }
    QUrl currentFileUrl() const;
    QString currentTitle() const;
    QString currentSourcePath() const;
    int playbackMode() const { return m_playbackMode; }

    Q_INVOKABLE int addFile(const QUrl &fileUrl, const QString &title = QString(), bool makeCurrent = true);
    Q_INVOKABLE void addFiles(const QVariantList &fileUrls, bool preserveCurrent = true);
    Q_INVOKABLE void clear();
    Q_INVOKABLE bool removeAt(int index);
    Q_INVOKABLE bool activateIndex(int index);
    Q_INVOKABLE bool activateNext();
    Q_INVOKABLE bool activatePrevious();
    Q_INVOKABLE int pruneMissingFiles();
    Q_INVOKABLE bool alignCurrentIndexToFile(const QUrl &fileUrl);
    Q_INVOKABLE bool advanceForPlaybackCompletion();
    Q_INVOKABLE bool advanceForPlaybackCompletionFromFile(const QUrl &fileUrl);
    Q_INVOKABLE bool containsFile(const QUrl &fileUrl) const;
    Q_INVOKABLE bool isSupportedFileUrl(const QUrl &fileUrl) const;
    // Why an opened file cannot be played: "missing", "encoding" (it exists, but its name is not
    // valid in the system's encoding, so no file API of Qt reaches it), "folder", "subtitle",
    // "unsupported" or "full"; empty when the list takes it. The user is told, so a refusal is
    // never silent.
    Q_INVOKABLE QString refusalReason(const QUrl &fileUrl) const;

    // The list takes at most this many entries, and no more than what keeps "playlist.ini"
    // within what its reader takes: a list is refused where it grows, never dropped at a start.
    static constexpr int kMaxEntries = 100000;

    // Every listed path in list order; the preview cache keeps exactly these files at quit.
    QStringList sourcePaths() const;

    // The identity of a file in the list: absolute, forward slashes, empty when the URL names
    // no file. Plain paths handed over where a URL is expected are accepted too.
    static QString normalizedSourcePath(const QUrl &fileUrl);

public slots:
    void setCurrentIndex(int index);
    void setPlaybackMode(int mode);

signals:
    void currentIndexChanged();
    void countChanged();
    void currentFileUrlChanged();
    void playbackModeChanged();

private:
    class SaveBatch;

    static QString fileNameFromPath(const QString &path);
    static QString baseNameFromFileName(const QString &fileName);
    static QString mediaTagFromPath(const QString &path);
    static bool isSupportedMediaFile(const QString &path);

    // At least the bytes an entry takes in "playlist.ini", whatever its text.
    static qint64 savedBytesBound(const PlaylistItem &item);
    static PlaylistItem newItem(const QString &sourcePath, const QString &title);
    bool hasRoomFor(const PlaylistItem &item) const;

    const PlaylistItem *currentItem() const;
    int rowOfPath(const QString &sourcePath) const;
    void setCurrentIndexInternal(int index, bool saveAfter, bool announce);
    bool removeRowInternal(int index);
    bool activateExistingItemFromIndex(int startRow, bool wrap);
    void announceCurrentFile();

    void save();
    void writeSettings();
    void load();

    QVector<PlaylistItem> m_items;
    int m_currentIndex = -1;
    int m_playbackMode = SequentialPlayback;
    bool m_playbackModeExplicit = false;

    QSet<QString> m_listedPaths;  // mirrors m_items for constant-time duplicate tests
    qint64 m_savedBytesBound = 0; // the sum of savedBytesBound over m_items
    // Kept open for the model's life: a fresh QSettings would re-read and re-parse the whole
    // file before every save, which dominates the cost of a save on a long list.
    std::unique_ptr<QSettings> m_settings;
    bool m_writeFailureLogged = false;
    bool m_loadedWhole = true; // false until a list that lost something in loading is kept aside
    int m_saveBatchDepth = 0;
    bool m_savePending = false;
};
