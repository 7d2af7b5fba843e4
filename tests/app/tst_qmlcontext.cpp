// The table of what C++ publishes to QML against Guard's list of context objects: every name
// the table publishes must reach the documents through Guard, and Guard must list no name that
// nothing publishes.
#include "TestSupport.h"
#include "app/QmlContextObjects.h"

#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QtTest>

#include <memory>

class QmlContextTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { tvxtest::initTestProcess(); }

    void guardListsEveryPublishedName()
    {
        QObject stand;
        app::QmlContextObjects objects;
        for (QObject **member :
             {&objects.playlistStore, &objects.mediaPreviewService, &objects.systemActions,
              &objects.fileDialogService, &objects.taskManager, &objects.mpvLibrary, &objects.i18n,
              &objects.formatConvertViewModel, &objects.videoCompressViewModel, &objects.videoToTextViewModel,
              &objects.videoCaptureViewModel, &objects.videoToImageViewModel, &objects.accountManager,
              &objects.singleInstanceService})
            *member = &stand;
        for (QVariant *member :
             {&objects.playerSettingsFilePath, &objects.appSettingsMenuSettingsFilePath,
              &objects.loginDialogSettingsFilePath, &objects.startupMediaFileUrlFromCpp,
              &objects.startupShouldTrackActivityFromCpp, &objects.screenAvailableSizeFromCpp})
            *member = QStringLiteral("value");
        // Every member above is set: the table publishes all of its names.
        const QVector<app::QmlContextEntry> entries = app::qmlContextEntries(objects);
        for (const app::QmlContextEntry &entry : entries)
            QVERIFY2(entry.value.isValid(), qPrintable(entry.name));

        QQmlEngine engine;
        app::publishToQml(engine.rootContext(), objects);
        QQmlComponent component(&engine);
        component.setData(
            "import QtQuick 2.14\n"
            "import \"" +
                QUrl::fromLocalFile(tvxtest::sourceDir() + QStringLiteral("/resources/qml/shared"))
                    .toEncoded() +
                "\"\n"
                "QtObject {\n"
                "    readonly property var listed: Object.keys(Guard.contextObjects)\n"
                "    readonly property var unset: listed.filter(function(name) {\n"
                "        return Guard.object(name) === null })\n"
                "}\n",
            QUrl());
        const std::unique_ptr<QObject> probe(component.create());
        QVERIFY2(probe, qPrintable(component.errorString()));

        QStringList listed = probe->property("listed").toStringList();
        QStringList published = app::qmlContextNames();
        listed.sort();
        published.sort();
        QCOMPARE(listed, published);
        // Guard reads each name as the table publishes it, not a misspelt one that reads undefined.
        QCOMPARE(probe->property("unset").toStringList(), QStringList());
    }
};

QTEST_MAIN(QmlContextTest)
#include "tst_qmlcontext.moc"
