// Task list models of the convert and compress windows: role tables, row changes and the signals
// views rely on, under QAbstractItemModelTester.
#include "TestSupport.h"
#include "tools/format_convert/FormatConvertTask.h"
#include "tools/format_convert/FormatConvertTaskModel.h"
#include "tools/video_compress/VideoCompressTask.h"
#include "tools/video_compress/VideoCompressTaskModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

#include <functional>
#include <memory>
#include <vector>

namespace {

// Tasks live as long as the process, as in the program; the list only frees them at exit.
std::vector<std::unique_ptr<BackgroundTask>> g_tasks;

template <typename T> T *kept(T *task)
{
    g_tasks.emplace_back(task);
    return task;
}

FormatConvertTask *convertTask(const QString &source)
{
    FormatConvertParams p;
    p.sourcePath = source;
    p.outputFormat = QStringLiteral("MKV");
    p.resolution = QStringLiteral("1280x720");
    auto *task = kept(new FormatConvertTask(QStringLiteral("id-") + source, p, nullptr));
    task->setSourceResolution(QStringLiteral("1920x1080"));
    return task;
}

VideoCompressTask *compressTask(const QString &source)
{
    VideoCompressParams p;
    p.sourcePath = source;
    p.compressionMode = QStringLiteral("Quality");
    p.compressionRatio = 50;
    auto *task = kept(new VideoCompressTask(QStringLiteral("id-") + source, p, nullptr));
    task->setSourceResolution(QStringLiteral("640x480"));
    return task;
}

using Getter = std::function<QVariant(BackgroundTask *)>;

template <typename T> Getter get(QVariant (*fn)(T *))
{
    return [fn](BackgroundTask *t) { return fn(static_cast<T *>(t)); };
}

} // namespace

Q_DECLARE_METATYPE(Getter)

class ConvertModelsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { tvxtest::initTestProcess(); }

    void roles_data()
    {
        QTest::addColumn<bool>("compress");
        QTest::addColumn<int>("role");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<Getter>("expected");

        using C = FormatConvertTask;
        using V = VideoCompressTask;
        const QList<std::tuple<int, const char *, Getter>> convertRows{
            {257, "taskId", get<C>([](C *t) -> QVariant { return t->taskId(); })},
            {258, "sourcePath", get<C>([](C *t) -> QVariant { return t->sourcePath(); })},
            {259, "fileName", get<C>([](C *t) -> QVariant { return t->sourceFileName(); })},
            {260, "fileSizeText", get<C>([](C *t) -> QVariant { return t->sourceFileSizeText(); })},
            {261, "sourceFormat", get<C>([](C *t) -> QVariant { return t->sourceFormat(); })},
            {262, "sourceResolution", get<C>([](C *t) -> QVariant { return t->sourceResolution(); })},
            {263, "targetFormat", get<C>([](C *t) -> QVariant { return t->targetFormat(); })},
            {264, "targetResolution", get<C>([](C *t) -> QVariant { return t->targetResolution(); })},
            {265, "status", get<C>([](C *t) -> QVariant { return t->status(); })},
            {266, "progress", get<C>([](C *t) -> QVariant { return t->progress(); })},
            {267, "message", get<C>([](C *t) -> QVariant { return t->message(); })},
        };
        const QList<std::tuple<int, const char *, Getter>> compressRows{
            {257, "taskId", get<V>([](V *t) -> QVariant { return t->taskId(); })},
            {258, "sourcePath", get<V>([](V *t) -> QVariant { return t->sourcePath(); })},
            {259, "fileName", get<V>([](V *t) -> QVariant { return t->sourceFileName(); })},
            {260, "fileSizeText", get<V>([](V *t) -> QVariant { return t->sourceFileSizeText(); })},
            {261, "sourceFormat", get<V>([](V *t) -> QVariant { return t->sourceFormat(); })},
            {262, "sourceResolution", get<V>([](V *t) -> QVariant { return t->sourceResolution(); })},
            {263, "targetFormat", get<V>([](V *t) -> QVariant { return t->targetFormat(); })},
            {264, "targetResolution", get<V>([](V *t) -> QVariant { return t->targetResolution(); })},
            {265, "compressionModeLabel", get<V>([](V *t) -> QVariant { return t->compressionModeLabel(); })},
            {266, "compressionRatioText", get<V>([](V *t) -> QVariant { return t->compressionRatioText(); })},
            {267, "targetSizeLabel", get<V>([](V *t) -> QVariant { return t->targetSizeLabel(); })},
            {268, "targetSizeText", get<V>([](V *t) -> QVariant { return t->targetSizeText(); })},
            {269, "status", get<V>([](V *t) -> QVariant { return t->status(); })},
            {270, "progress", get<V>([](V *t) -> QVariant { return t->progress(); })},
            {271, "message", get<V>([](V *t) -> QVariant { return t->message(); })},
        };
        for (const auto &row : convertRows)
            QTest::addRow("convert %d %s", std::get<0>(row), std::get<1>(row))
                << false << std::get<0>(row) << QByteArray(std::get<1>(row)) << std::get<2>(row);
        for (const auto &row : compressRows)
            QTest::addRow("compress %d %s", std::get<0>(row), std::get<1>(row))
                << true << std::get<0>(row) << QByteArray(std::get<1>(row)) << std::get<2>(row);
    }

    void roles()
    {
        QFETCH(bool, compress);
        QFETCH(int, role);
        QFETCH(QByteArray, name);
        QFETCH(Getter, expected);

        const QString source =
            tvxtest::writeFile(tvxtest::scratchPath(QStringLiteral("roles/clip.avi")), QByteArray(3000, 'x'));
        FormatConvertTaskModel convertModel;
        VideoCompressTaskModel compressModel;
        QAbstractItemModel *model =
            compress ? static_cast<QAbstractItemModel *>(&compressModel) : &convertModel;
        BackgroundTask *task = nullptr;
        if (compress) {
            auto *t = compressTask(source);
            compressModel.addTask(t);
            task = t;
        } else {
            auto *t = convertTask(source);
            convertModel.addTask(t);
            task = t;
        }
        task->markRunning(QStringLiteral("working"));
        task->setProgress(0.25);

        QCOMPARE(model->roleNames().size(), compress ? 15 : 11);
        QCOMPARE(model->roleNames().value(role), name);
        const QVariant value = model->data(model->index(0, 0), role);
        QVERIFY(value.isValid());
        QCOMPARE(value, expected(task));
        QCOMPARE(value.userType(), expected(task).userType());
        QVERIFY(!model->data(model->index(0, 0), Qt::UserRole + 30).isValid());
        if (!compress)
            QCOMPARE(convertModel.taskAt(0).value(QString::fromLatin1(name)), value);
    }

    void convertModelRows()
    {
        FormatConvertTaskModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy aboutToReset(&model, &QAbstractItemModel::modelAboutToBeReset);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);

        model.addTask(nullptr);
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(inserted.count() + changed.count(), 0);
        model.clear();
        QCOMPARE(aboutToReset.count(), 0);

        FormatConvertTask *a = convertTask(QStringLiteral("/media/a.mp4"));
        FormatConvertTask *b = convertTask(QStringLiteral("/media/b.mp4"));
        model.addTask(a);
        model.addTask(b);
        model.addTask(a);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(inserted.count(), 3);
        QCOMPARE(changed.count(), 3);
        QCOMPARE(changed.at(2).at(0).toModelIndex().row(), 0); // the same task twice repaints its first row
        QVERIFY(changed.at(2).at(2).value<QVector<int>>().isEmpty());
        QCOMPARE(model.rowCount(model.index(0, 0)), 0);

        changed.clear();
        model.notifyTaskChanged(b);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 1);
        model.notifyTaskChanged(convertTask(QStringLiteral("/other.mp4")));
        QCOMPARE(changed.count(), 1);

        QVERIFY(model.containsTask(b));
        QVERIFY(!model.containsTask(nullptr));
        QVERIFY(model.containsSourcePath(QStringLiteral("/media/a.mp4")));
        QVERIFY(!model.containsSourcePath(QStringLiteral("/Media/a.mp4")));
        QVERIFY(!model.containsSourcePath(QStringLiteral("\\media\\a.mp4")));
        QCOMPARE(model.taskObjectAt(1), b);
        QCOMPARE(model.taskObjectAt(3), nullptr);
        QCOMPARE(model.taskObjectAt(-1), nullptr);
        QCOMPARE(model.tasks(), (QList<FormatConvertTask *>{a, b, a}));

        const QVariantMap outside = model.taskAt(5);
        QCOMPARE(outside.size(), 11);
        for (const QVariant &value : outside)
            QVERIFY(!value.isValid());
        QCOMPARE(model.taskAt(1).value(QStringLiteral("sourcePath")).toString(),
                 QStringLiteral("/media/b.mp4"));
        QVERIFY(!model.data(model.index(0, 0), Qt::UserRole + 12).isValid()); // 268 is a compress role

        model.removeAt(-1);
        model.removeAt(3);
        QCOMPARE(removed.count(), 0);
        model.removeAt(1);
        QCOMPARE(removed.count(), 1);
        QVERIFY(!model.containsTask(b));
        QCOMPARE(b->sourcePath(), QStringLiteral("/media/b.mp4")); // the task itself is untouched

        model.clear();
        QCOMPARE(aboutToReset.count(), 1);
        QCOMPARE(model.rowCount(), 0);
    }

    void compressModelRows()
    {
        VideoCompressTaskModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy aboutToReset(&model, &QAbstractItemModel::modelAboutToBeReset);

        model.clear();
        QCOMPARE(aboutToReset.count(), 0);
        model.addTask(nullptr);
        QCOMPARE(model.rowCount(), 0);

        VideoCompressTask *a = compressTask(QStringLiteral("/media/a.mp4"));
        VideoCompressTask *b = compressTask(QStringLiteral("/media/b.mkv"));
        model.addTask(a);
        model.addTask(b);
        QCOMPARE(changed.count(), 2);
        QVERIFY(model.containsSourcePath(QStringLiteral("/media/b.mkv")));
        QVERIFY(!model.containsSourcePath(QStringLiteral("/media/B.mkv")));
        QCOMPARE(model.taskObjectAt(0), a);
        QCOMPARE(model.taskObjectAt(2), nullptr);
        QCOMPARE(model.data(model.index(1, 0), Qt::UserRole + 7).toString(), QStringLiteral("MKV"));
        QVERIFY(!model.data(QModelIndex(), Qt::UserRole + 1).isValid());
        QCOMPARE(model.rowCount(model.index(0, 0)), 0);

        model.removeAt(0);
        QCOMPARE(model.tasks(), QList<VideoCompressTask *>{b});
        model.notifyTaskChanged(a);
        QCOMPARE(changed.count(), 2);
        model.clear();
        QCOMPARE(aboutToReset.count(), 1);
    }
};

QTEST_GUILESS_MAIN(ConvertModelsTest)
#include "tst_convert_models.moc"
