// Recording stand-ins for the engine, the video surface and the page's services in QML tests.
#pragma once

#include <QObject>
#include <QQuickItem>
#include <QStringList>
#include <QUrl>
#include <QVariantList>
#include <QVariantMap>

// Registered as Tavrixo.MpvEngine: records every command and answers as the test says. Its
// subtitle ids behave as mpv's do behind the real engine: adding a file selects it as the
// primary track, and the published ids follow mpv's only at the next poll().
class FakeMpvEngine : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool initialized MEMBER m_initialized NOTIFY initializedChanged)
    Q_PROPERTY(bool paused MEMBER m_paused NOTIFY pausedChanged)
    Q_PROPERTY(double position MEMBER m_position NOTIFY positionChanged)
    Q_PROPERTY(double duration MEMBER m_duration NOTIFY durationChanged)
    Q_PROPERTY(double volume MEMBER m_volume NOTIFY volumeChanged)
    Q_PROPERTY(double playbackSpeed MEMBER m_speed NOTIFY playbackSpeedChanged)
    Q_PROPERTY(bool videoEnhancementEnabled MEMBER m_enhance NOTIFY videoEnhancementEnabledChanged)
    Q_PROPERTY(int subtitleTrackId MEMBER m_subtitleTrackId NOTIFY subtitleTrackIdChanged)
    Q_PROPERTY(int secondarySubtitleTrackId MEMBER m_secondaryTrackId NOTIFY secondarySubtitleTrackIdChanged)
    Q_PROPERTY(QStringList calls MEMBER m_calls NOTIFY callsChanged)
    Q_PROPERTY(bool playFileResult MEMBER m_playFileResult)
    Q_PROPERTY(int seekFailures MEMBER m_seekFailures)
    Q_PROPERTY(int seekAttempts MEMBER m_seekAttempts NOTIFY callsChanged)
    Q_PROPERTY(QVariantList audioTracks MEMBER m_audioTracks)
    Q_PROPERTY(QVariantList subtitleTracks MEMBER m_subtitleTracks)
    Q_PROPERTY(bool addSubtitleResult MEMBER m_addSubtitleResult)
    Q_PROPERTY(QStringList unsupportedProperties MEMBER m_unsupportedProperties)

public:
    explicit FakeMpvEngine(QObject *parent = nullptr) : QObject(parent) {}

    Q_INVOKABLE bool playFile(const QUrl &url);
    Q_INVOKABLE bool stopPlayback();
    Q_INVOKABLE bool togglePause();
    Q_INVOKABLE bool seekTo(double seconds);
    Q_INVOKABLE bool setVolume(double value);
    Q_INVOKABLE bool setPlaybackSpeed(double value);
    Q_INVOKABLE bool setVideoEnhancementEnabled(bool enabled);
    Q_INVOKABLE bool setSubtitleTrackId(int id);
    Q_INVOKABLE bool setSecondarySubtitleTrackId(int id);
    Q_INVOKABLE bool addSubtitleFile(const QUrl &url, bool secondary = false);
    Q_INVOKABLE QVariantList availableAudioTracks() const { return m_audioTracks; }
    Q_INVOKABLE QVariantList availableSubtitleTracks() const { return m_subtitleTracks; }
    Q_INVOKABLE bool supportsProperty(const QString &name) const
    {
        return !m_unsupportedProperties.contains(name);
    }
    Q_INVOKABLE void finishFile() { emit endOfFileReached(); }
    Q_INVOKABLE void failFile(const QString &path, const QString &error) { emit playbackFailed(path, error); }
    // The engine's poll: publishes mpv's current subtitle ids.
    Q_INVOKABLE void poll();
    Q_INVOKABLE void clearCalls();
    Q_INVOKABLE int countCalls(const QString &prefix) const;

signals:
    void initializedChanged();
    void pausedChanged();
    void positionChanged();
    void durationChanged();
    void volumeChanged();
    void playbackSpeedChanged();
    void videoEnhancementEnabledChanged();
    void subtitleTrackIdChanged();
    void secondarySubtitleTrackIdChanged();
    void callsChanged();
    void endOfFileReached();
    void playbackFailed(const QString &path, const QString &error);

private:
    void record(const QString &call);

    bool m_initialized = true;
    bool m_paused = false;
    double m_position = 0;
    double m_duration = 0;
    double m_volume = 100;
    double m_speed = 1.0;
    bool m_enhance = false;
    int m_subtitleTrackId = 0;
    int m_secondaryTrackId = 0;
    QStringList m_calls;
    bool m_playFileResult = true;
    int m_seekFailures = 0;
    int m_seekAttempts = 0;
    QVariantList m_audioTracks;
    QVariantList m_subtitleTracks;
    bool m_addSubtitleResult = true;
    QStringList m_unsupportedProperties;
    int m_mpvSid = 0;
    int m_mpvSecondarySid = 0;
};

// Registered as Tavrixo.MpvVideoItem: the test decides when the render context is ready.
class FakeVideoItem : public QQuickItem
{
    Q_OBJECT
    Q_PROPERTY(QObject *engine MEMBER m_engine NOTIFY engineChanged)
    Q_PROPERTY(bool renderContextReady MEMBER m_ready NOTIFY renderContextReadyChanged)
    Q_PROPERTY(bool drawsIntoWindow MEMBER m_drawsIntoWindow NOTIFY drawsIntoWindowChanged)

public:
    explicit FakeVideoItem(QQuickItem *parent = nullptr) : QQuickItem(parent) {}
    static bool readyByDefault;

    void componentComplete() override
    {
        QQuickItem::componentComplete();
        if (m_ready != readyByDefault) {
            m_ready = readyByDefault;
            emit renderContextReadyChanged();
        }
    }

signals:
    void engineChanged();
    void renderContextReadyChanged();
    void drawsIntoWindowChanged();

private:
    QObject *m_engine = nullptr;
    bool m_ready = false;
    bool m_drawsIntoWindow = false;
};

// systemActions, fileDialogService and mediaPreviewService, recording and scripted.
class FakeServices : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList calls MEMBER m_calls NOTIFY callsChanged)
    Q_PROPERTY(QString applicationVersion MEMBER m_version CONSTANT)
    Q_PROPERTY(QString companyName MEMBER m_company CONSTANT)
    Q_PROPERTY(QVariantList nextPickedFiles MEMBER m_nextPickedFiles)
    Q_PROPERTY(QString nextPickedFile MEMBER m_nextPickedFile)
    Q_PROPERTY(QVariantMap previews MEMBER m_previews)
    Q_PROPERTY(QString menuSettingsFile MEMBER m_menuSettingsFile)
    Q_PROPERTY(QVariant tickSeenByRegistration MEMBER m_tickSeen NOTIFY callsChanged)

public:
    explicit FakeServices(QObject *parent = nullptr) : QObject(parent) {}

    // systemActions
    Q_INVOKABLE QString setAsDefaultPlayer();
    Q_INVOKABLE QString clearDefaultPlayer();
    Q_INVOKABLE QString createDesktopShortcut()
    {
        record("createDesktopShortcut");
        return "shortcut-status";
    }
    Q_INVOKABLE QString openCustomerService(const QString &uid)
    {
        record("openCustomerService:" + uid);
        return "service-status";
    }
    Q_INVOKABLE bool copyTextToClipboard(const QString &text)
    {
        record("copy:" + text);
        return true;
    }
    // fileDialogService
    Q_INVOKABLE QVariantList pickPlayableMediaFiles()
    {
        record("pickPlayableMediaFiles");
        return m_nextPickedFiles;
    }
    Q_INVOKABLE QString pickPlayableMediaFile()
    {
        record("pickPlayableMediaFile");
        return m_nextPickedFile;
    }
    Q_INVOKABLE QString pickSubtitleFile(const QString &title)
    {
        record("pickSubtitleFile:" + title);
        return m_nextPickedFile;
    }
    // mediaPreviewService
    Q_INVOKABLE QVariantMap previewForFile(const QString &sourcePath);
    Q_INVOKABLE void setPlaybackActive(bool active)
    {
        record(QStringLiteral("setPlaybackActive:") + (active ? "true" : "false"));
    }
    Q_INVOKABLE void announcePreview(const QString &sourcePath, const QVariantMap &preview)
    {
        emit previewReady(sourcePath, preview);
    }

    // Test helpers.
    Q_INVOKABLE void clearCalls();
    Q_INVOKABLE int countCalls(const QString &prefix) const;
    Q_INVOKABLE QVariant readIni(const QString &file, const QString &key) const;
    Q_INVOKABLE QString writeMediaFile(const QString &name) const;
    Q_INVOKABLE QString fileUrl(const QString &path) const;
    Q_INVOKABLE bool removeFile(const QString &path) const;
    Q_INVOKABLE void putOnClipboard(const QString &text) const;
    Q_INVOKABLE bool writeText(const QString &path, const QString &text) const;

signals:
    void callsChanged();
    void previewReady(const QString &sourcePath, const QVariantMap &preview);

private:
    void record(const QString &call);

    QStringList m_calls;
    QString m_version = QStringLiteral("9.8.7");
    QString m_company = QStringLiteral("Test Company");
    QVariantList m_nextPickedFiles;
    QString m_nextPickedFile;
    QVariantMap m_previews;
    QString m_menuSettingsFile;
    QVariant m_tickSeen;
};

// accountManager: the account state and sign-in addresses the test sets, every call the page
// and the sign-in dialog make recorded ("name" or "name:arg:arg"). Tests raise the manager's
// answers by calling its signals.
class FakeAccountManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool loggedIn MEMBER m_loggedIn NOTIFY loggedInChanged)
    Q_PROPERTY(bool virtualAccount MEMBER m_virtual NOTIFY accountInfoChanged)
    Q_PROPERTY(QString nickname MEMBER m_nickname NOTIFY accountInfoChanged)
    Q_PROPERTY(QString accountId MEMBER m_accountId NOTIFY accountInfoChanged)
    Q_PROPERTY(QString uid MEMBER m_uid NOTIFY accountInfoChanged)
    Q_PROPERTY(QString avatarLocalPath MEMBER m_avatar NOTIFY accountInfoChanged)
    Q_PROPERTY(int loginScene READ loginSceneValue WRITE setLoginScene NOTIFY loginSceneChanged)
    Q_PROPERTY(QString weChatLoginUrl MEMBER m_weChatUrl NOTIFY weChatLoginUrlChanged)
    Q_PROPERTY(QString qqLoginUrl MEMBER m_qqUrl NOTIFY qqLoginUrlChanged)
    Q_PROPERTY(QString phoneImageCodeUrl MEMBER m_imageCodeUrl NOTIFY phoneImageCodeUrlChanged)
    Q_PROPERTY(bool phoneCodeChallengeRequired MEMBER m_challenge NOTIFY phoneCodeChallengeRequiredChanged)
    Q_PROPERTY(QString browserLoginUrl MEMBER m_browserUrl)
    Q_PROPERTY(QStringList calls MEMBER m_calls)

public:
    explicit FakeAccountManager(QObject *parent = nullptr) : QObject(parent) {}

    int loginSceneValue() const { return m_loginScene; }
    Q_INVOKABLE void logout() { m_calls.append(QStringLiteral("logout")); }
    Q_INVOKABLE void refreshAccountInfoInfo() { m_calls.append(QStringLiteral("refresh")); }
    Q_INVOKABLE void setLoginScene(int scene)
    {
        m_calls.append(QStringLiteral("scene:") + QString::number(scene));
        if (scene != m_loginScene) {
            m_loginScene = scene;
            emit loginSceneChanged();
        }
    }
    Q_INVOKABLE void requestWeChatQrLogin() { m_calls.append(QStringLiteral("requestWeChatQrLogin")); }
    Q_INVOKABLE void pollWeChatLoginStatus() { m_calls.append(QStringLiteral("pollWeChatLoginStatus")); }
    Q_INVOKABLE QString weChatBrowserLoginUrl()
    {
        m_calls.append(QStringLiteral("weChatBrowserLoginUrl"));
        return m_browserUrl;
    }
    Q_INVOKABLE void requestQQLogin() { m_calls.append(QStringLiteral("requestQQLogin")); }
    Q_INVOKABLE void pollQQLoginStatus() { m_calls.append(QStringLiteral("pollQQLoginStatus")); }
    Q_INVOKABLE void requestPhoneImageCode() { m_calls.append(QStringLiteral("requestPhoneImageCode")); }
    Q_INVOKABLE void requestPhoneSmsCode(const QString &phoneNumber, const QString &imageCode)
    {
        m_calls.append(QStringLiteral("requestPhoneSmsCode:") + phoneNumber + QLatin1Char(':') + imageCode);
    }
    Q_INVOKABLE void loginByPhoneCode(const QString &phoneNumber, const QString &phoneCode,
                                      const QString &imageCode)
    {
        m_calls.append(QStringLiteral("loginByPhoneCode:") + phoneNumber + QLatin1Char(':') + phoneCode +
                       QLatin1Char(':') + imageCode);
    }

    Q_INVOKABLE void reset()
    {
        m_calls.clear();
        m_loggedIn = false;
        m_virtual = false;
        m_nickname.clear();
        m_accountId.clear();
        m_uid.clear();
        m_avatar.clear();
        m_loginScene = 0;
        m_weChatUrl.clear();
        m_qqUrl.clear();
        m_imageCodeUrl.clear();
        m_challenge = false;
        m_browserUrl.clear();
        emit loggedInChanged();
        emit accountInfoChanged();
        emit loginSceneChanged();
        emit weChatLoginUrlChanged();
        emit qqLoginUrlChanged();
        emit phoneImageCodeUrlChanged();
        emit phoneCodeChallengeRequiredChanged();
    }
    Q_INVOKABLE void signIn(const QString &nickname, const QString &accountId, const QString &uid,
                            bool isVirtual)
    {
        m_nickname = nickname;
        m_accountId = accountId;
        m_uid = uid;
        m_virtual = isVirtual;
        m_loggedIn = true;
        emit accountInfoChanged();
        emit loggedInChanged();
    }
    Q_INVOKABLE void clearCalls() { m_calls.clear(); }
    Q_INVOKABLE int countCalls(const QString &call) const { return m_calls.count(call); }

signals:
    void loggedInChanged();
    void accountInfoChanged();
    void logoutFinished(bool success);
    void virtualBindFailed(const QString &message);
    void loginSceneChanged();
    void weChatLoginUrlChanged();
    void weChatLoginSucceeded();
    void weChatLoginFailed(int code, const QString &message);
    void qqLoginUrlChanged();
    void qqLoginSucceeded();
    void qqLoginFailed(int code, const QString &message);
    void phoneImageCodeUrlChanged();
    void phoneCodeChallengeRequiredChanged();
    void phoneCodeSent();
    void phoneCodeFailed(int code, const QString &message);
    void phoneLoginSucceeded();
    void phoneLoginFailed(int code, const QString &message);

private:
    bool m_loggedIn = false;
    bool m_virtual = false;
    QString m_nickname;
    QString m_accountId;
    QString m_uid;
    QString m_avatar;
    int m_loginScene = 0;
    QString m_weChatUrl;
    QString m_qqUrl;
    QString m_imageCodeUrl;
    bool m_challenge = false;
    QString m_browserUrl;
    QStringList m_calls;
};

// Registered as com.myapp.miniblink.MiniBlinkWrapper: a web view whose engine the test switches
// on or off and whose page events the test raises by calling its signals.
class FakeMiniBlinkWrapper : public QQuickItem
{
    Q_OBJECT
    Q_PROPERTY(QString url MEMBER m_url NOTIFY urlChanged)
    Q_PROPERTY(bool loading MEMBER m_loading NOTIFY loadingChanged)
    Q_PROPERTY(bool engineAvailable MEMBER m_engineAvailable NOTIFY engineStatusChanged)
    Q_PROPERTY(QString engineError MEMBER m_engineError NOTIFY engineStatusChanged)

public:
    explicit FakeMiniBlinkWrapper(QQuickItem *parent = nullptr) : QQuickItem(parent) {}

public slots:
    void reload() {}
    void goBack() {}
    void goForward() {}

signals:
    void urlChanged();
    void loadingChanged();
    void loadStarted();
    void loadFinished(bool success);
    void firstFrameRendered();
    void engineStatusChanged();

private:
    QString m_url;
    bool m_loading = false;
    bool m_engineAvailable = false;
    QString m_engineError = QStringLiteral("web engine not found");
};
