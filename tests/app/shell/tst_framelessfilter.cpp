// Maximised frameless windows: the work-area arithmetic and the monitor query behind it.
#include "TestSupport.h"
#include "app/FramelessWindowMaximizeFilter.h"
#include "platform/MonitorWorkArea.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <QtTest>

class FramelessFilterTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { tvxtest::initTestProcess(); }

    void workArea_data()
    {
        QTest::addColumn<QRect>("monitor");
        QTest::addColumn<QRect>("workArea");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("position");
        QTest::newRow("task bar at the bottom")
            << QRect(0, 0, 1920, 1080) << QRect(0, 0, 1920, 1040) << QSize(1920, 1040) << QPoint(0, 0);
        QTest::newRow("task bar at the left")
            << QRect(0, 0, 1920, 1080) << QRect(60, 0, 1860, 1080) << QSize(1860, 1080) << QPoint(60, 0);
        QTest::newRow("task bar at the top")
            << QRect(0, 0, 1920, 1080) << QRect(0, 48, 1920, 1032) << QSize(1920, 1032) << QPoint(0, 48);
        QTest::newRow("task bar at the right")
            << QRect(0, 0, 1920, 1080) << QRect(0, 0, 1860, 1080) << QSize(1860, 1080) << QPoint(0, 0);
        QTest::newRow("second monitor, task bar at the left")
            << QRect(1920, 0, 2560, 1440) << QRect(1980, 0, 2500, 1440) << QSize(2500, 1440) << QPoint(60, 0);
        QTest::newRow("monitor left of and above the primary, task bar at the top")
            << QRect(-1280, -1024, 1280, 1024) << QRect(-1280, -984, 1280, 984) << QSize(1280, 984)
            << QPoint(0, 40);
        QTest::newRow("no task bar") << QRect(0, 0, 1280, 720) << QRect(0, 0, 1280, 720) << QSize(1280, 720)
                                     << QPoint(0, 0);
    }

    void workArea()
    {
        QFETCH(QRect, monitor);
        QFETCH(QRect, workArea);
        const auto placement = FramelessWindowMaximizeFilter::maximizedPlacement(monitor, workArea);
        QTEST(placement.size, "size");
        QTEST(placement.position, "position");
    }

    void messagesAlwaysContinueToQt()
    {
        FramelessWindowMaximizeFilter filter;
        long result = 1234;
        QVERIFY(!filter.nativeEventFilter("xcb_generic_event_t", nullptr, &result));
        QVERIFY(!filter.nativeEventFilter("windows_generic_MSG", nullptr, &result));
        QCOMPARE(result, 1234L);
    }

    void monitorOfAWindowIsItsScreen()
    {
        QScreen *primary = QGuiApplication::primaryScreen();
        QVERIFY(primary);

        QWindow window;
        window.resize(200, 100);
        window.create();
        platform::MonitorAreas areas;
        QVERIFY(platform::monitorAreasForNativeWindow(static_cast<quintptr>(window.winId()), &areas));
        QCOMPARE(areas.monitor, window.screen()->geometry());
        QCOMPARE(areas.workArea, window.screen()->availableGeometry());

        // An unknown window falls back to the primary monitor, as "nearest" does elsewhere.
        QVERIFY(platform::monitorAreasForNativeWindow(0, &areas));
        QCOMPARE(areas.workArea, primary->availableGeometry());
        QVERIFY(!platform::monitorAreasForNativeWindow(0, nullptr));
    }
};

QTEST_MAIN(FramelessFilterTest)
#include "tst_framelessfilter.moc"
