// The video-to-text job list model under QAbstractItemModelTester, its roles and signals, and the
// job factory's ids.
#include "TestSupport.h"
#include "cloud/video_to_text/VideoToTextTask.h"
#include "cloud/video_to_text/VideoToTextTaskFactory.h"
#include "cloud/video_to_text/VideoToTextTaskModel.h"
#include "i18n/I18n.h"

#include <QAbstractItemModelTester>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <vector>

class V2tModelTest : public QObject
{
    Q_OBJECT

    std::vector<std::unique_ptr<VideoToTextTask>> m_jobs;

    VideoToTextTask *job(const QString &sourcePath, const QString &format = QStringLiteral("TXT"))
    {
        VideoToTextParams params;
        params.sourcePath = sourcePath;
        params.outputFormat = format;
        m_jobs.push_back(std::unique_ptr<VideoToTextTask>(VideoToTextTaskFactory().createTask(params)));
        return m_jobs.back().get();
    }

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        QVERIFY(i18n::initialize(QStringLiteral(":/i18n/zh-CN.properties")));
    }

    void roleTable()
    {
        VideoToTextTaskModel model;
        const QHash<int, QByteArray> roles = model.roleNames();
        const QList<QByteArray> names = {"taskId",       "sourcePath",       "fileName",     "fileSizeText",
                                         "sourceFormat", "sourceResolution", "targetFormat", "targetLanguage",
                                         "status",       "progress",         "message"};
        QCOMPARE(roles.size(), 11);
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(roles.value(Qt::UserRole + 1 + i), names.at(i));
        QVERIFY(!roles.contains(Qt::UserRole));
        QVERIFY(!roles.contains(Qt::UserRole + 12));
    }

    void emptyModelStaysQuiet()
    {
        VideoToTextTaskModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy reset(&model, &QAbstractItemModel::modelAboutToBeReset);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsAboutToBeRemoved);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QCOMPARE(model.rowCount(), 0);
        model.clear();
        model.removeAt(0);
        model.removeAt(-1);
        model.addTask(nullptr);
        QCOMPARE(reset.count(), 0);
        QCOMPARE(removed.count(), 0);
        QCOMPARE(inserted.count(), 0);
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.taskObjectAt(0), nullptr);
        QCOMPARE(model.taskObjectAt(-1), nullptr);
    }

    void addAnnouncesInsertThenChange()
    {
        VideoToTextTaskModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.addTask(job("/v/a.mp4"));
        QStringList order;
        connect(&model, &QAbstractItemModel::rowsInserted, this,
                [&](const QModelIndex &parent, int first, int last) {
                    QVERIFY(!parent.isValid());
                    order << QStringLiteral("inserted %1-%2").arg(first).arg(last);
                });
        connect(&model, &QAbstractItemModel::dataChanged, this,
                [&](const QModelIndex &from, const QModelIndex &to, const QVector<int> &roles) {
                    QVERIFY(roles.isEmpty());
                    order << QStringLiteral("changed %1-%2").arg(from.row()).arg(to.row());
                });
        VideoToTextTask *second = job("/v/b.mp4");
        model.addTask(second);
        QCOMPARE(order, (QStringList{"inserted 1-1", "changed 1-1"}));
        QCOMPARE(model.taskObjectAt(1), second);
        QCOMPARE(model.tasks().size(), 2);
        QCOMPARE(model.rowCount(model.index(0, 0)), 0);
    }

    void roleValues()
    {
        const QString dir = tvxtest::scratchPath(QStringLiteral("roles/x")).section(QLatin1Char('/'), 0, -2);
        const QString source = tvxtest::writeFile(dir + "/talk.mov", QByteArray(1536, 'x'));
        VideoToTextTaskModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        VideoToTextTask *task = job(source, QStringLiteral(" srt "));
        task->setSourceResolution(QStringLiteral("640x360"));
        task->setProgress(0.25);
        task->setMessage(QStringLiteral("working"));
        model.addTask(task);
        const QModelIndex idx = model.index(0, 0);
        QCOMPARE(model.data(idx, VideoToTextTaskModel::TaskIdRole).toString(), task->taskId());
        QCOMPARE(model.data(idx, VideoToTextTaskModel::SourcePathRole).toString(), source);
        QCOMPARE(model.data(idx, VideoToTextTaskModel::FileNameRole).toString(), QStringLiteral("talk.mov"));
        QCOMPARE(model.data(idx, VideoToTextTaskModel::FileSizeTextRole).toString(), QStringLiteral("1.5K"));
        QCOMPARE(model.data(idx, VideoToTextTaskModel::SourceFormatRole).toString(), QStringLiteral("MOV"));
        QCOMPARE(model.data(idx, VideoToTextTaskModel::SourceResolutionRole).toString(),
                 QStringLiteral("640x360"));
        QCOMPARE(model.data(idx, VideoToTextTaskModel::TargetFormatRole).toString(), QStringLiteral("SRT"));
        QCOMPARE(model.data(idx, VideoToTextTaskModel::TargetLanguageRole).toString(),
                 QStringLiteral("中文"));
        const QVariant status = model.data(idx, VideoToTextTaskModel::StatusRole);
        QCOMPARE(status.userType(), int(QMetaType::Int));
        QCOMPARE(status.toInt(), 0);
        const QVariant progress = model.data(idx, VideoToTextTaskModel::ProgressRole);
        QCOMPARE(progress.userType(), int(QMetaType::Double));
        QCOMPARE(progress.toDouble(), 0.25);
        QCOMPARE(model.data(idx, VideoToTextTaskModel::MessageRole).toString(), QStringLiteral("working"));

        QVERIFY(!model.data(idx, Qt::UserRole).isValid());
        QVERIFY(!model.data(idx, Qt::UserRole + 12).isValid());
        QVERIFY(!model.data(model.index(1, 0), VideoToTextTaskModel::TaskIdRole).isValid());
        QVERIFY(!model.data(QModelIndex(), VideoToTextTaskModel::TaskIdRole).isValid());
    }

    void removeClearAndStaleNotifications()
    {
        VideoToTextTaskModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        VideoToTextTask *a = job("/v/a.mp4");
        VideoToTextTask *b = job("/v/b.mp4");
        VideoToTextTask *c = job("/v/c.mp4");
        model.addTask(a);
        model.addTask(b);
        model.addTask(c);

        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.notifyTaskChanged(c);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 2);

        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        model.removeAt(3);
        QCOMPARE(removed.count(), 0);
        model.removeAt(1);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed.at(0).at(1).toInt(), 1);
        QCOMPARE(model.tasks(), (QList<VideoToTextTask *>{a, c}));
        // The removed job lives on: the queue may still hold it.
        QCOMPARE(b->sourcePath(), QStringLiteral("/v/b.mp4"));

        changed.clear();
        model.notifyTaskChanged(b);
        model.notifyTaskChanged(nullptr);
        QCOMPARE(changed.count(), 0);

        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        model.clear();
        QCOMPARE(reset.count(), 1);
        QCOMPARE(model.rowCount(), 0);
        model.notifyTaskChanged(a);
        QCOMPARE(changed.count(), 0);
    }

    void containsSourcePathIsExact()
    {
        VideoToTextTaskModel model;
        model.addTask(job("/videos/Talk.mp4"));
        QVERIFY(model.containsSourcePath("/videos/Talk.mp4"));
        QVERIFY(!model.containsSourcePath("/videos/talk.mp4"));
        QVERIFY(!model.containsSourcePath("/videos//Talk.mp4"));
        QVERIFY(!model.containsSourcePath(QString()));
    }

    void factoryIds()
    {
        VideoToTextParams params;
        params.sourcePath = "/v/same.mp4";
        params.outputFormat = "SRT";
        const VideoToTextTaskFactory factory;
        std::unique_ptr<VideoToTextTask> first(factory.createTask(params));
        std::unique_ptr<VideoToTextTask> second(factory.createTask(params));
        QVERIFY(first && second);
        const QRegularExpression uuid(
            QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"));
        QVERIFY2(uuid.match(first->taskId()).hasMatch(), qPrintable(first->taskId()));
        QVERIFY(uuid.match(second->taskId()).hasMatch());
        QVERIFY(first->taskId() != second->taskId());
        QCOMPARE(first->params().sourcePath, params.sourcePath);
        QCOMPARE(first->params().outputFormat, params.outputFormat);
        QCOMPARE(first->status(), int(BackgroundTask::Pending));
    }
};

QTEST_GUILESS_MAIN(V2tModelTest)
#include "tst_v2t_model.moc"
