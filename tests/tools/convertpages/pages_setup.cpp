// Set-up of the convert-page tests: the objects main publishes for the two batch tools, wired
// as main wires them, with a recorder in place of the power-off command, plus a small helper
// that makes clips and reads outputs with ffprobe.
#include "PageTestHelper.h"
#include "PublishedServices.h"
#include "QmlTestSetup.h"
#include "TestSupport.h"
#include "i18n/I18n.h"
#include "platform/ShutdownLauncher.h"
#include "tools/format_convert/FormatConvertTaskFactory.h"
#include "tools/format_convert/FormatConvertViewModel.h"
#include "tools/video_compress/VideoCompressTaskFactory.h"
#include "tools/video_compress/VideoCompressViewModel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QQmlContext>
#include <QQmlEngine>

#include <memory>

namespace {

class PagesTestHelper : public tvxtest::PageTestHelper
{
    Q_OBJECT
public:
    using PageTestHelper::PageTestHelper;

    // ffprobe's view of a file: format name, duration in seconds and the codec of each stream.
    Q_INVOKABLE QVariantMap probe(const QString &path) const
    {
        const auto r = tvxtest::runProcess(
            QStringLiteral("ffprobe"),
            {"-v", "error", "-print_format", "json", "-show_format", "-show_streams", path}, 30000);
        QVariantMap result;
        const QJsonObject root = QJsonDocument::fromJson(r.out).object();
        result.insert(QStringLiteral("exitCode"), r.exitCode);
        result.insert(QStringLiteral("format"),
                      root.value("format").toObject().value("format_name").toString());
        result.insert(QStringLiteral("duration"),
                      root.value("format").toObject().value("duration").toString().toDouble());
        QStringList codecs;
        for (const auto &stream : root.value("streams").toArray())
            codecs << stream.toObject().value("codec_name").toString();
        result.insert(QStringLiteral("codecs"), codecs);
        return result;
    }

    Q_INVOKABLE QString writeFile(const QString &relative) const
    {
        return tvxtest::writeFile(tvxtest::scratchPath(relative), "x");
    }
};

struct Published : tvxtest::PublishedServices
{
    FormatConvertTaskFactory convertFactory{&prober};
    VideoCompressTaskFactory compressFactory{&prober};
    FormatConvertViewModel formatConvert{&ffmpeg, &prober, &tasks, &actions, &convertFactory};
    VideoCompressViewModel videoCompress{&ffmpeg, &prober, &tasks, &actions, &compressFactory};
    PagesTestHelper helper;
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
        g_published->actions.setShutdownLauncher(platform::ShutdownLauncher(QStringLiteral("/bin/true"), {}));
    }
    Published &p = *g_published;
    QQmlContext *context = engine->rootContext();
    app::QmlContextObjects objects = p.contextObjects();
    objects.formatConvertViewModel = &p.formatConvert;
    objects.videoCompressViewModel = &p.videoCompress;
    app::publishToQml(context, objects);
    context->setContextProperty(QStringLiteral("testHelper"), &p.helper);
}

void QmlTestSetup::cleanupTestCase()
{
    // Jobs still running hold pointers into the published objects.
    if (g_published)
        g_published->tasks.shutdown(5000);
}

#include "pages_setup.moc"
