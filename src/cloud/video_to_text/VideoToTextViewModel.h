// Controller of the video-to-text tool window: the job list fed from files and folders through
// the batch tools' shared intake (with the background probe that marks damaged files), the three options with
// the remembered output folder, the batch start through the job queue and the batch's outcome.
#pragma once

#include "cloud/video_to_text/VideoToTextParams.h"
#include "cloud/video_to_text/VideoToTextTask.h"
#include "tools/common/TaskBatchRun.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class BackgroundTask;
class FFprobeService;
class TaskManager;
class VideoToTextTaskFactory;
class VideoToTextTaskModel;

namespace tools {
class BatchIntake;
}

class VideoToTextViewModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString toolTitle READ toolTitle CONSTANT)
    Q_PROPERTY(QString outputFormat READ outputFormat WRITE setOutputFormat NOTIFY outputFormatChanged)
    Q_PROPERTY(QStringList outputFormatOptions READ outputFormatOptions CONSTANT)
    Q_PROPERTY(QString recognitionLanguage READ recognitionLanguage WRITE setRecognitionLanguage NOTIFY
                   recognitionLanguageChanged)
    Q_PROPERTY(QStringList recognitionLanguageOptions READ recognitionLanguageOptions CONSTANT)
    Q_PROPERTY(
        QString outputDirectory READ outputDirectory WRITE setOutputDirectory NOTIFY outputDirectoryChanged)
    Q_PROPERTY(bool exporting READ exporting NOTIFY startActionChanged)
    Q_PROPERTY(bool canStartTasks READ canStartTasks NOTIFY startActionChanged)
    Q_PROPERTY(QString startButtonText READ startButtonText NOTIFY startActionChanged)
    // The error text of the first failed job of the last batch that had failures, so the page
    // can say why (signed out, service unreachable, ...); empty until then.
    Q_PROPERTY(QString lastFailureText READ lastFailureText NOTIFY lastFailureTextChanged)

public:
    VideoToTextViewModel(FFprobeService *ffprobeService, TaskManager *taskManager,
                         VideoToTextTaskFactory *taskFactory, QObject *parent = nullptr);
    ~VideoToTextViewModel() override;

    VideoToTextTaskModel *taskModel() const { return m_taskModel; }

    QString toolTitle() const;
    QString outputFormat() const { return m_outputFormat; }
    QStringList outputFormatOptions() const;
    QString recognitionLanguage() const { return m_recognitionLanguage; }
    QStringList recognitionLanguageOptions() const;
    QString outputDirectory() const { return m_outputDirectory; }
    bool exporting() const;
    bool canStartTasks() const;
    QString startButtonText() const;
    QString lastFailureText() const { return m_lastFailureText; }

    VideoToTextParams buildParams() const;

    // "文件损坏，无法解析", built from the catalog at every use.
    static QString damagedFileUnparseableText();
    // Absolute path with forward slashes, not made canonical; empty for a blank text.
    static QString normalizeLocalPath(const QString &text);
    // Creates the folder when missing and proves it writable with a test file; on failure
    // *errorMessage (when given) receives the catalog text of the reason.
    static bool validateWritableDirectory(const QString &directory, QString *errorMessage);

    // Emits startActionChanged; for callers that changed jobs behind the view model's back.
    void notifyStartActionChanged();

    Q_INVOKABLE QObject *taskModelObject() const;
    Q_INVOKABLE void addFiles(const QStringList &fileUrls);
    Q_INVOKABLE void addFolder(const QString &folderUrl);
    Q_INVOKABLE void removeTask(int row);
    Q_INVOKABLE void startTasks();
    Q_INVOKABLE void clearTasks();

public slots:
    void setOutputFormat(const QString &outputFormat);
    void setRecognitionLanguage(const QString &recognitionLanguage);
    void setOutputDirectory(const QString &outputDirectory);

signals:
    void outputFormatChanged();
    void recognitionLanguageChanged();
    void outputDirectoryChanged();
    void outputDirectoryValidationFailed(const QString &message);
    void startActionChanged();
    void batchExecutionFinished(int successCount, int failedCount);
    void lastFailureTextChanged();

private:
    class ListRows;

    void applyPresetToTasks();
    void loadPersistedOutputDirectory();
    void savePersistedOutputDirectory() const;
    void refreshRunningTasks();
    void handleTaskFinished(BackgroundTask *task);
    void maybeEmitBatchExecutionFinished();

    FFprobeService *m_ffprobeService = nullptr;
    TaskManager *m_taskManager = nullptr;
    VideoToTextTaskFactory *m_taskFactory = nullptr;
    VideoToTextTaskModel *m_taskModel = nullptr;
    QString m_outputFormat;
    QString m_recognitionLanguage;
    QString m_outputDirectory;
    QString m_lastFailureText;
    tools::TaskBatchRun<VideoToTextTask> m_run;
    std::unique_ptr<ListRows> m_rows;
    tools::BatchIntake *m_intake = nullptr;
};
