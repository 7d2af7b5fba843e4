// The batch machinery shared by the format-convert and video-compress view models: the task list
// fed from files and folders through the shared intake (BatchIntake: the background probe with
// the damaged-file marker), the output folder with its write test and remembered value, the batch start
// through the job queue, the polling of running jobs, the batch accounting and the shutdown after a finished
// batch.
#pragma once

#include "tools/common/BatchIntake.h"
#include "tools/common/FFmpegOutputTask.h"
#include "tools/common/TaskBatchRun.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class BackgroundTask;
class FFmpegEnvironment;
class FFprobeService;
class SystemActions;
class TaskManager;

namespace tools {

class FFmpegTaskListModel;

class ToolBatch : public QObject
{
    Q_OBJECT
public:
    struct Config
    {
        // The tool id of this tool's tasks; job ends of other tools are ignored.
        QString toolId;
        // "[FormatConvert]" and the like; empty: this tool logs nothing of its own.
        QString logTag;
        // Settings file in the application-data folder and its output-folder key.
        QString settingsFileName;
        QString outputDirectoryKey;
        // Which sources the tool takes.
        std::function<bool(const QString &path)> acceptsPath;
        // Builds a task from the current choices for the path and appends it to the list.
        std::function<FFmpegOutputTask *(const QString &path)> createAndAppendTask;
    };

    // What a change of the choices did to a task's record.
    enum class PresetChange { Unchanged, FlagOnly, Changed };
    // Writes the current record into one task.
    using PresetWriter = std::function<PresetChange(FFmpegOutputTask *task)>;

    // What the start button stands for.
    enum class StartState { NoRows, Unavailable, Running, Startable, NothingToStart };

    ToolBatch(FFmpegEnvironment *environment, FFprobeService *prober, TaskManager *taskManager,
              SystemActions *systemActions, FFmpegTaskListModel *model, Config config,
              QObject *parent = nullptr);
    ~ToolBatch() override;

    FFmpegTaskListModel *model() const { return m_model; }

    // "文件损坏，无法解析", built anew from the catalog at every use.
    static QString damagedFileUnparseableText();
    static bool isDamaged(const FFmpegOutputTask *task);
    // Absolute path with forward slashes; empty for a blank path.
    static QString normalizeLocalPath(const QString &path);
    // Catalog keys of the reasons a folder is refused for.
    struct DirectoryErrorKeys
    {
        const char *empty;
        const char *createFailed;
        const char *notWritable;
    };
    // Creates the folder when missing and writes a test file into it.
    static bool validateWritableDirectory(const QString &directory, QString *errorText);
    static bool validateWritableDirectory(const QString &directory, QString *errorText,
                                          const DirectoryErrorKeys &keys);
    // Supported files under folder, all levels, hidden files left out, sorted without case.
    static QStringList collectFiles(const QString &folder,
                                    const std::function<bool(const QString &)> &accepts);

    // The folder remembered under key in the INI file, when it is still writable; empty otherwise.
    static QString loadRememberedDirectory(const QString &settingsPath, const QString &key);
    // Remembers directory under key; an empty one removes the key.
    static void saveRememberedDirectory(const QString &settingsPath, const QString &key,
                                        const QString &directory);

    bool ffmpegReady() const;

    QString outputDirectory() const { return m_outputDirectory; }
    // Normalises and tests path. Returns false with *errorText set when the folder was refused;
    // true otherwise, with *changed telling whether a new folder was taken (and remembered).
    bool acceptOutputDirectory(const QString &path, bool *changed, QString *errorText);

    bool shutdownWhenFinished() const { return m_shutdownWhenFinished; }
    // Stores the option; the caller writes it into the idle tasks without resetting them.
    bool setShutdownWhenFinished(bool enabled);

    // Both take a local path or a "file:" URL.
    int addFiles(const QStringList &fileUrls);
    int addFolder(const QString &folderUrl);
    bool addSourceFile(const QString &path);

    // Writes the current choices into every task that is neither running nor damaged; finished
    // tasks whose record changed in a way that matters for the output go back to Pending.
    void applyPreset(const PresetWriter &writer);

    void startTasks();
    void removeTask(int row);
    void clearTasks();

    bool exporting() const;
    bool canStartTasks() const;
    StartState startState() const;

signals:
    void startActionChanged();
    // The rows or a row's probe result changed.
    void listChanged();
    void batchExecutionFinished(int successCount, int failedCount);

private:
    class ListRows;

    void refreshRunningTasks();
    void handleTaskFinished(BackgroundTask *task);
    void maybeShutdownWhenBatchFinished();
    void maybeEmitBatchExecutionFinished();
    QString settingsFilePath() const;
    void loadPersistedOutputDirectory();
    void savePersistedOutputDirectory() const;

    FFmpegEnvironment *m_environment = nullptr;
    TaskManager *m_taskManager = nullptr;
    SystemActions *m_systemActions = nullptr;
    FFmpegTaskListModel *m_model = nullptr;
    const Config m_config;
    QString m_outputDirectory;
    bool m_shutdownWhenFinished = false;
    // Set once the shutdown has been asked for in the current batch.
    bool m_shutdownRequested = false;
    // Our tasks are done but another tool's jobs still run or wait.
    bool m_shutdownWaitingForQueue = false;
    TaskBatchRun<FFmpegOutputTask> m_run;
    std::unique_ptr<ListRows> m_rows;
    BatchIntake *m_intake = nullptr;
};

} // namespace tools
