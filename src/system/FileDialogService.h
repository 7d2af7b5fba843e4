// File and folder pickers for QML, returning file URLs and remembering the last folder used.
#pragma once

#include <QFileDialog>
#include <QObject>
#include <QString>
#include <QStringList>

class FileDialogService : public QObject
{
    Q_OBJECT
    Q_PROPERTY(
        bool useNativeDialog READ useNativeDialog WRITE setUseNativeDialog NOTIFY useNativeDialogChanged)

public:
    explicit FileDialogService(QObject *parent = nullptr);

    bool useNativeDialog() const { return m_useNativeDialog; }

    Q_INVOKABLE QStringList pickPlayableMediaFiles();
    Q_INVOKABLE QStringList pickMediaFiles();
    Q_INVOKABLE QStringList pickTranscodeMediaFiles();
    Q_INVOKABLE QStringList pickVideoToolMediaFiles();
    Q_INVOKABLE QString pickPlayableMediaFile();
    Q_INVOKABLE QString pickMediaFile();
    Q_INVOKABLE QString pickVideoToolMediaFile();
    Q_INVOKABLE QString pickSubtitleFile(const QString &title = QString());
    Q_INVOKABLE QString pickFolder();

    // The folder the next dialog opens in (exposed for tests and diagnostics).
    QString initialDirectory() const;
    // Path of "file_dialog.ini".
    static QString settingsFilePath();
    // "label (patterns)" then the all-files filter, as the dialogs get them.
    static QStringList nameFilters(const QString &filterKey, const QString &pattern);

public slots:
    void setUseNativeDialog(bool value);

signals:
    void useNativeDialogChanged();

private:
    QFileDialog::Options buildDialogOptions() const;
    QStringList openFiles(const QString &title, const QStringList &filters);
    QString openFile(const QString &title, const QStringList &filters);
    QString openFolder(const QString &title);
    void rememberDirectoryFromSelection(const QStringList &selection);
    void loadLastDirectory();
    void saveLastDirectory();
    static QString toFileUrl(const QString &path);
    static QStringList toFileUrls(const QStringList &paths);

    bool m_useNativeDialog = true;
    QString m_lastDirectory;
};
