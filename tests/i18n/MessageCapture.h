// Records the log lines written while it lives, so tests can count warnings exactly.
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QtGlobal>

class MessageCapture
{
public:
    MessageCapture()
    {
        s_lines.clear();
        s_previous = qInstallMessageHandler(&MessageCapture::handle);
    }
    ~MessageCapture() { qInstallMessageHandler(s_previous); }
    MessageCapture(const MessageCapture &) = delete;
    MessageCapture &operator=(const MessageCapture &) = delete;

    int count(QtMsgType type, const QString &containing) const
    {
        int n = 0;
        for (const auto &line : s_lines)
            n += line.first == type && line.second.contains(containing) ? 1 : 0;
        return n;
    }
    int total() const { return s_lines.size(); }

private:
    static void handle(QtMsgType type, const QMessageLogContext &, const QString &msg)
    {
        s_lines.append(qMakePair(type, msg));
    }
    static inline QList<QPair<QtMsgType, QString>> s_lines;
    static inline QtMessageHandler s_previous = nullptr;
};
