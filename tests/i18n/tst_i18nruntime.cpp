// The process-wide i18n::initialize / i18n::t: before loading, after a failed reload, and
// under concurrent use from several threads.
#include "i18n/I18n.h"

#include "MessageCapture.h"
#include "TestSupport.h"

#include <QtTest>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {
const QString kResource = QStringLiteral(":/i18n/zh-CN.properties");

struct Lookup
{
    QString key;
    QVariantMap args;
    QString expected;
};
} // namespace

// Slots run in declaration order: the first one sees the runtime before any initialize.
class I18nRuntimeTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { tvxtest::initTestProcess(); }

    void beforeInitializeEveryKeyIsMissingSilently()
    {
        MessageCapture capture;
        QCOMPARE(i18n::t("player.control.play"), QStringLiteral("[[player.control.play]]"));
        QCOMPARE(i18n::t("no.such.key", QVariantMap{{"a", 1}}), QStringLiteral("[[no.such.key]]"));
        QCOMPARE(capture.total(), 0);
    }

    void initializeLoadsResource()
    {
        QVERIFY(!i18n::initialize(tvxtest::scratchPath("absent.properties")));
        QCOMPARE(i18n::t("player.control.play"), QStringLiteral("[[player.control.play]]"));

        QVERIFY(i18n::initialize(kResource));
        QCOMPARE(i18n::t("player.control.play"), QString::fromUtf8("播放"));
        // A substituted value is never substituted again.
        QCOMPARE(i18n::t("tool.common.concat_with_space", QVariantMap{{"left", "%{right}"}, {"right", "R"}}),
                 QStringLiteral("%{right} R"));
        MessageCapture capture;
        QCOMPARE(i18n::t("no.such.key"), QStringLiteral("[[no.such.key]]"));
        QCOMPARE(capture.count(QtWarningMsg, QStringLiteral("[I18n] Missing key: no.such.key")), 1);
    }

    // Readers on several threads while another thread reloads the catalog: every answer must
    // be the complete text (run under the sanitizer build to catch races as well).
    void concurrentLookups()
    {
        QVERIFY(i18n::initialize(kResource));
        std::vector<Lookup> table = {
            {"player.track.with_lang", {{"type", "A"}, {"lang", "eng"}}, {}},
            {"tool.video_to_image.long_image.over_limit",
             {{"width", 1920},
              {"height", 99999},
              {"estimated", "1 GB"},
              {"max_height", 65535},
              {"max_memory", "512 MB"}},
             {}},
            {"tool.common.concat_with_space", {{"left", "%{right}"}, {"right", "R"}}, {}},
            {"cpp.msg.converting_progress_percent", {}, {}},
            {"ui.text.playback.speed_suffix", {}, {}},
        };
        for (Lookup &row : table) {
            row.expected = i18n::t(row.key, row.args);
            QVERIFY2(!row.expected.startsWith(QLatin1String("[[")), qPrintable(row.key));
        }

        constexpr int kReaders = 8;
        constexpr int kRounds = 3000;
        std::atomic<int> mismatches{0};
        std::atomic<bool> readersDone{false};
        std::atomic<int> failedReloads{0};
        std::thread reloader([&] {
            while (!readersDone.load()) {
                if (!i18n::initialize(kResource))
                    ++failedReloads;
                // A reload holds the lock for the whole file; leave the readers room to run.
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
        std::vector<std::thread> readers;
        for (int r = 0; r < kReaders; ++r) {
            readers.emplace_back([&, r] {
                for (int i = 0; i < kRounds; ++i) {
                    const Lookup &row = table[(i + r) % table.size()];
                    if (i18n::t(row.key, row.args) != row.expected)
                        ++mismatches;
                }
            });
        }
        for (std::thread &t : readers)
            t.join();
        readersDone = true;
        reloader.join();
        QCOMPARE(mismatches.load(), 0);
        QCOMPARE(failedReloads.load(), 0);
    }

    void failedReloadAnswersMissingText()
    {
        QVERIFY(!i18n::initialize(tvxtest::scratchPath("still-absent.properties")));
        QCOMPARE(i18n::t("player.control.play"), QStringLiteral("[[player.control.play]]"));
        QVERIFY(i18n::initialize(kResource));
        QCOMPARE(i18n::t("player.control.play"), QString::fromUtf8("播放"));
    }
};

QTEST_GUILESS_MAIN(I18nRuntimeTest)
#include "tst_i18nruntime.moc"
