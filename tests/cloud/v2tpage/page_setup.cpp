// Set-up of the video-to-text page tests: the real catalog service and recording stand-ins for
// the view model, the file dialogs and the system actions, so each test decides what the page
// is shown and reads back what the page asked for.
#include "QmlTestSetup.h"
#include "TestSupport.h"
#include "app/QmlContextObjects.h"
#include "i18n/I18n.h"
#include "i18n/I18nService.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QStandardItemModel>
#include <QVariantMap>

#include <memory>

namespace {

const char *const kRoles[] = {"taskId",       "sourcePath",       "fileName",     "fileSizeText",
                              "sourceFormat", "sourceResolution", "targetFormat", "targetLanguage",
                              "status",       "progress",         "message"};

// The view model's whole QML interface; every call is recorded as "member(arguments)".
class FakeVideoToTextViewModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString toolTitle READ toolTitle CONSTANT)
    Q_PROPERTY(QString outputFormat MEMBER m_outputFormat NOTIFY outputFormatChanged)
    Q_PROPERTY(QStringList outputFormatOptions READ outputFormatOptions CONSTANT)
    Q_PROPERTY(QString recognitionLanguage MEMBER m_language NOTIFY recognitionLanguageChanged)
    Q_PROPERTY(QStringList recognitionLanguageOptions READ recognitionLanguageOptions CONSTANT)
    Q_PROPERTY(QString outputDirectory MEMBER m_outputDirectory NOTIFY outputDirectoryChanged)
    Q_PROPERTY(bool exporting MEMBER m_exporting NOTIFY startActionChanged)
    Q_PROPERTY(bool canStartTasks MEMBER m_canStart NOTIFY startActionChanged)
    Q_PROPERTY(QString startButtonText MEMBER m_startText NOTIFY startActionChanged)
    Q_PROPERTY(QString lastFailureText MEMBER m_lastFailureText NOTIFY lastFailureTextChanged)
    Q_PROPERTY(QStringList calls MEMBER m_calls NOTIFY callsChanged)

public:
    // The model has a parent, so the engine never takes it for its own when QML asks for it.
    explicit FakeVideoToTextViewModel(QObject *parent = nullptr)
        : QObject(parent), m_model(new QStandardItemModel(this))
    {
        QHash<int, QByteArray> names;
        for (int i = 0; i < int(sizeof kRoles / sizeof *kRoles); ++i)
            names.insert(Qt::UserRole + 1 + i, kRoles[i]);
        m_model->setItemRoleNames(names);
        reset();
    }

    QString toolTitle() const { return i18n::t(QStringLiteral("tool.video_to_text.title")); }
    QStringList outputFormatOptions() const { return {"TXT", "WORD", "SRT"}; }
    QStringList recognitionLanguageOptions() const { return {"中文", "English", "其他语种"}; }

    Q_INVOKABLE QObject *taskModelObject() { return m_model; }
    Q_INVOKABLE void addFiles(const QStringList &fileUrls) { record("addFiles", fileUrls.join('|')); }
    Q_INVOKABLE void addFolder(const QString &folderUrl) { record("addFolder", folderUrl); }
    Q_INVOKABLE void removeTask(int row) { record("removeTask", QString::number(row)); }
    Q_INVOKABLE void startTasks() { record("startTasks", QString()); }
    Q_INVOKABLE void clearTasks() { record("clearTasks", QString()); }

    // What the tests set up.
    Q_INVOKABLE void reset()
    {
        m_model->clear();
        m_outputFormat = QStringLiteral("TXT");
        m_language = QStringLiteral("中文");
        m_outputDirectory = QStringLiteral("/tmp/v2t-out");
        m_exporting = false;
        m_canStart = false;
        m_startText = i18n::t(QStringLiteral("tool.video_to_text.start.add_files"));
        m_lastFailureText.clear();
        m_calls.clear();
        emit outputFormatChanged();
        emit recognitionLanguageChanged();
        emit outputDirectoryChanged();
        emit startActionChanged();
        emit lastFailureTextChanged();
        emit callsChanged();
    }
    Q_INVOKABLE void addRow(const QVariantMap &row)
    {
        auto *item = new QStandardItem;
        for (int i = 0; i < int(sizeof kRoles / sizeof *kRoles); ++i)
            item->setData(row.value(QString::fromLatin1(kRoles[i])), Qt::UserRole + 1 + i);
        m_model->appendRow(item);
    }
    Q_INVOKABLE void setStartState(bool canStart, bool exporting, const QString &text)
    {
        m_canStart = canStart;
        m_exporting = exporting;
        m_startText = text;
        emit startActionChanged();
    }
    Q_INVOKABLE void finishBatch(const QVariant &successCount, const QVariant &failedCount,
                                 const QString &reason)
    {
        m_lastFailureText = reason;
        emit lastFailureTextChanged();
        emit batchExecutionFinished(successCount.toInt(), failedCount.toInt());
    }
    Q_INVOKABLE void refuseFolder(const QString &message) { emit outputDirectoryValidationFailed(message); }

public slots:
    void setOutputFormat(const QString &value)
    {
        record("setOutputFormat", value);
        m_outputFormat = value;
        emit outputFormatChanged();
    }
    void setRecognitionLanguage(const QString &value)
    {
        record("setRecognitionLanguage", value);
        m_language = value;
        emit recognitionLanguageChanged();
    }
    void setOutputDirectory(const QString &value) { record("setOutputDirectory", value); }

signals:
    void outputFormatChanged();
    void recognitionLanguageChanged();
    void outputDirectoryChanged();
    void outputDirectoryValidationFailed(const QString &message);
    void startActionChanged();
    void batchExecutionFinished(int successCount, int failedCount);
    void lastFailureTextChanged();
    void callsChanged();

private:
    void record(const char *member, const QString &arguments)
    {
        m_calls << QStringLiteral("%1(%2)").arg(QLatin1String(member), arguments);
        emit callsChanged();
    }

    QStandardItemModel *m_model = nullptr;
    QString m_outputFormat;
    QString m_language;
    QString m_outputDirectory;
    bool m_exporting = false;
    bool m_canStart = false;
    QString m_startText;
    QString m_lastFailureText;
    QStringList m_calls;
};

// The two pickers the page uses, answering what the test put in.
class FakeFileDialogService : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList files MEMBER m_files)
    Q_PROPERTY(QString folder MEMBER m_folder)
public:
    using QObject::QObject;
    Q_INVOKABLE QStringList pickVideoToolMediaFiles() const { return m_files; }
    Q_INVOKABLE QStringList pickTranscodeMediaFiles() const { return m_files; }
    Q_INVOKABLE QString pickFolder() const { return m_folder; }

private:
    QStringList m_files;
    QString m_folder;
};

class FakeSystemActions : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList customerServiceCalls MEMBER m_calls)
public:
    using QObject::QObject;
    Q_INVOKABLE QString openCustomerService(const QString &uid)
    {
        m_calls << uid;
        return QString();
    }

private:
    QStringList m_calls;
};

struct Published
{
    I18nService i18nService;
    FakeVideoToTextViewModel viewModel;
    FakeFileDialogService dialogs;
    FakeSystemActions actions;
};

std::unique_ptr<Published> g_published;

} // namespace

QmlTestSetup::QmlTestSetup() = default;
QmlTestSetup::~QmlTestSetup() = default;

void QmlTestSetup::applicationAvailable()
{
    tvxtest::initTestProcess();
}

void QmlTestSetup::qmlEngineAvailable(QQmlEngine *engine)
{
    if (!g_published) {
        i18n::initialize(QStringLiteral(":/i18n/zh-CN.properties"));
        g_published = std::make_unique<Published>();
        g_published->i18nService.initialize(QStringLiteral(":/i18n/zh-CN.properties"),
                                            QStringLiteral("zh-CN"));
    }
    QQmlContext *context = engine->rootContext();
    app::QmlContextObjects objects;
    objects.i18n = &g_published->i18nService;
    objects.videoToTextViewModel = &g_published->viewModel;
    objects.fileDialogService = &g_published->dialogs;
    objects.systemActions = &g_published->actions;
    app::publishToQml(context, objects);
}

void QmlTestSetup::cleanupTestCase() {}

#include "page_setup.moc"
