// The intake every batch tool shares, whatever its task type: sources taken from files and
// folders (normalised, checked, duplicates skipped), each new row probed in the background, an
// inconclusive probe asked again a little later, and a file the probe cannot read marked damaged.
// A tool reaches its own list and tasks through the small Rows interface.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class BackgroundTask;
class FFprobeService;

namespace tools {

class BatchIntake : public QObject
{
    Q_OBJECT
public:
    // What the intake needs of a tool's list and of the tasks in it.
    class Rows
    {
    public:
        virtual ~Rows() = default;
        virtual bool hasList() const = 0;
        // The list is there and the tool can make tasks.
        virtual bool canAppend() const = 0;
        virtual bool containsSourcePath(const QString &path) const = 0;
        virtual bool containsTask(BackgroundTask *task) const = 0;
        virtual int rowCount() const = 0;
        // Builds the task of path from the current choices and appends it; null when none was made.
        virtual BackgroundTask *appendTask(const QString &path) = 0;
        virtual QString sourcePathOf(BackgroundTask *task) const = 0;
        virtual void setSourceResolution(BackgroundTask *task, const QString &text) = 0;
        virtual void notifyTaskChanged(BackgroundTask *task) = 0;
    };

    struct Config
    {
        // "[FormatConvert]" and the like; empty: the intake logs nothing.
        QString logTag;
        // Which sources the tool takes.
        std::function<bool(const QString &path)> acceptsPath;
        // Whether a readable source must also report a duration to count as sound.
        std::function<bool(const QString &path)> durationRequired;
    };

    BatchIntake(FFprobeService *prober, Rows *rows, Config config, QObject *parent = nullptr);

    // "文件损坏，无法解析", built anew from the catalog at every use.
    static QString damagedFileUnparseableText();
    // Absolute path with forward slashes; empty for a blank path.
    static QString normalizeLocalPath(const QString &path);
    // Supported files under folder, all levels, hidden files left out, sorted without case.
    static QStringList collectFiles(const QString &folder,
                                    const std::function<bool(const QString &)> &accepts);

    // Both take a local path or a "file:" URL; they return how many rows were added.
    int addFiles(const QStringList &fileUrls);
    int addFolder(const QString &folderUrl);
    bool addSourceFile(const QString &path);

signals:
    // A row was added, or a probe found a file damaged.
    void startActionChanged();
    // A row was added, or a probe result changed what a row shows.
    void listChanged();
    // The probe of path gave no answer this time (attempt counts from 1).
    void probeInconclusive(const QString &path, int attempt, const QString &errorText);

private:
    void resolveTaskMetadataAsync(BackgroundTask *task, int attempt);

    FFprobeService *m_prober = nullptr;
    Rows *m_rows = nullptr;
    const Config m_config;
};

} // namespace tools
