// File and folder pickers driven by a timer that accepts or cancels the modal dialog.
#include "TestSupport.h"
#include "i18n/I18n.h"
#include "media/MediaFormats.h"
#include "system/FileDialogService.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

struct Seen
{
    QString title;
    QString directory;
    QStringList filters;
    bool nonNative = false;
    QStringList shownFilters; // the file model's filters once the last name filter is chosen
};

// Waits for the modal file dialog, records what it shows, then runs the action on it.
void whenDialogOpens(Seen *seen, std::function<void(QFileDialog *)> action)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, seen, action] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        seen->title = dialog->windowTitle();
        seen->directory = dialog->directory().absolutePath();
        seen->filters = dialog->nameFilters();
        seen->nonNative = dialog->testOption(QFileDialog::DontUseNativeDialog);
        if (!seen->filters.isEmpty()) {
            dialog->selectNameFilter(seen->filters.last());
            if (auto *model = dialog->findChild<QFileSystemModel *>())
                seen->shownFilters = model->nameFilters();
        }
        action(dialog);
    });
    timer->start();
}

void acceptFiles(QFileDialog *dialog, const QString &folder, const QStringList &names)
{
    dialog->setDirectory(folder);
    QStringList quoted;
    for (const QString &n : names)
        quoted << QLatin1Char('"') + n + QLatin1Char('"');
    dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))
        ->setText(names.size() == 1 ? names.first() : quoted.join(QLatin1Char(' ')));
    static_cast<QDialog *>(dialog)->accept();
}

QByteArray settingsBytes()
{
    QFile f(FileDialogService::settingsFilePath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString storedLastDirectory()
{
    return QSettings(FileDialogService::settingsFilePath(), QSettings::IniFormat)
        .value(QStringLiteral("file_dialog/last_directory"))
        .toString();
}

} // namespace

class FileDialogsTest : public QObject
{
    Q_OBJECT
    QString m_media;
    QString m_output;

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        m_media = tvxtest::scratchPath(QStringLiteral("media in/片"));
        tvxtest::writeFile(m_media + QStringLiteral("/a.mp4"), "x");
        tvxtest::writeFile(m_media + QStringLiteral("/b c.mkv"), "x");
        tvxtest::writeFile(m_media + QStringLiteral("/s.srt"), "x");
        m_output = tvxtest::scratchPath(QStringLiteral("out folder"));
        QDir().mkpath(m_output);
    }

    void chosenFolderIsRememberedAcrossPickersAndRuns()
    {
        QFile::remove(FileDialogService::settingsFilePath());
        FileDialogService service;
        Seen seen;
        whenDialogOpens(&seen, [&](QFileDialog *d) {
            acceptFiles(d, m_media, {QStringLiteral("a.mp4"), QStringLiteral("b c.mkv")});
        });
        const QStringList urls = service.pickPlayableMediaFiles();
        QCOMPARE(urls, (QStringList{QUrl::fromLocalFile(m_media + QStringLiteral("/a.mp4")).toString(),
                                    QUrl::fromLocalFile(m_media + QStringLiteral("/b c.mkv")).toString()}));
        QCOMPARE(seen.title, i18n::t(QStringLiteral("ui.file_dialog.title.pick_media_files")));
        QCOMPARE(seen.directory, QDir::homePath() + QStringLiteral("/Desktop"));
        QCOMPARE(
            seen.filters,
            (QStringList{i18n::t(QStringLiteral("ui.file_dialog.filter.media")) + QStringLiteral(" (") +
                             media::playableWildcardPattern() + QLatin1Char(')'),
                         i18n::t(QStringLiteral("ui.file_dialog.filter.all")) + QStringLiteral(" (*)")}));
        QCOMPARE(seen.shownFilters, QStringList{QStringLiteral("*")}); // the all-files entry shows files
        QCOMPARE(storedLastDirectory(), m_media);

        // The folder picker starts there too, and stores the chosen folder itself.
        whenDialogOpens(&seen, [&](QFileDialog *d) {
            d->setDirectory(m_output);
            static_cast<QDialog *>(d)->accept();
        });
        QCOMPARE(service.pickFolder(), QUrl::fromLocalFile(m_output).toString());
        QCOMPARE(seen.directory, m_media);
        QCOMPARE(seen.title, i18n::t(QStringLiteral("ui.file_dialog.title.pick_folder")));
        QCOMPARE(storedLastDirectory(), m_output);

        FileDialogService nextRun;
        QCOMPARE(nextRun.initialDirectory(), m_output);
    }

    void cancellingLeavesEverythingAlone_data()
    {
        QTest::addColumn<QString>("picker");
        QTest::newRow("files") << "files";
        QTest::newRow("file") << "file";
        QTest::newRow("subtitle") << "subtitle";
        QTest::newRow("folder") << "folder";
    }
    void cancellingLeavesEverythingAlone()
    {
        QFETCH(QString, picker);
        FileDialogService service;
        Seen seen;
        whenDialogOpens(&seen, [](QFileDialog *d) { d->reject(); });
        const QByteArray before = settingsBytes();
        QVariant result;
        if (picker == QLatin1String("files"))
            result = service.pickVideoToolMediaFiles();
        else if (picker == QLatin1String("file"))
            result = service.pickVideoToolMediaFile();
        else if (picker == QLatin1String("subtitle"))
            result = service.pickSubtitleFile();
        else
            result = service.pickFolder();
        QVERIFY(result.type() == QVariant::StringList ? result.toStringList().isEmpty()
                                                      : result.toString().isEmpty());
        QCOMPARE(settingsBytes(), before);
    }

    void subtitleTitleAndFilter_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty") << QString()
                               << i18n::t(QStringLiteral("ui.file_dialog.title.pick_subtitle_file"));
        QTest::newRow("blank") << QStringLiteral("   ")
                               << i18n::t(QStringLiteral("ui.file_dialog.title.pick_subtitle_file"));
        QTest::newRow("given, untrimmed") << QStringLiteral(" 主字幕 ") << QStringLiteral(" 主字幕 ");
    }
    void subtitleTitleAndFilter()
    {
        QFETCH(QString, title);
        QFETCH(QString, shown);
        FileDialogService service;
        Seen seen;
        whenDialogOpens(&seen, [&](QFileDialog *d) { acceptFiles(d, m_media, {QStringLiteral("s.srt")}); });
        QCOMPARE(service.pickSubtitleFile(title),
                 QUrl::fromLocalFile(m_media + QStringLiteral("/s.srt")).toString());
        QCOMPARE(seen.title, shown);
        QCOMPARE(seen.filters.first(), i18n::t(QStringLiteral("ui.file_dialog.filter.subtitle")) +
                                           QStringLiteral(" (") + media::subtitleWildcardPattern() +
                                           QLatin1Char(')'));
    }

    void deletedFolderFallsBack()
    {
        const QString gone = tvxtest::scratchPath(QStringLiteral("gone"));
        QDir().mkpath(gone);
        {
            QSettings s(FileDialogService::settingsFilePath(), QSettings::IniFormat);
            s.setValue(QStringLiteral("file_dialog/last_directory"), gone + QStringLiteral("  "));
        }
        QCOMPARE(FileDialogService().initialDirectory(), gone);
        QDir(gone).removeRecursively();
        FileDialogService service;
        QCOMPARE(service.initialDirectory(), QDir::homePath() + QStringLiteral("/Desktop"));
        QVERIFY(storedLastDirectory().startsWith(gone)); // ignored, not erased
        const QString desktop = QDir::homePath() + QStringLiteral("/Desktop");
        QDir(desktop).removeRecursively();
        QCOMPARE(service.initialDirectory(), QDir::homePath());
        QDir().mkpath(desktop);
    }

    void nativeDialogSwitch()
    {
        FileDialogService service;
        QSignalSpy spy(&service, &FileDialogService::useNativeDialogChanged);
        service.setUseNativeDialog(true);
        QCOMPARE(spy.count(), 0);
        service.setUseNativeDialog(false);
        QCOMPARE(spy.count(), 1);
        Seen seen;
        whenDialogOpens(&seen, [](QFileDialog *d) { d->reject(); });
        service.pickFolder();
        QVERIFY(seen.nonNative);
        whenDialogOpens(&seen, [](QFileDialog *d) { d->reject(); });
        service.pickTranscodeMediaFiles();
        QVERIFY(seen.nonNative);
    }
};

QTEST_MAIN(FileDialogsTest)
#include "tst_filedialogs.moc"
