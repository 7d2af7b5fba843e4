// The one door from the render thread and mpv's update thread to a video item on the GUI thread.
#pragma once

#include <QObject>

#include <mutex>

// Owned jointly by the item and its renderer, so it outlives both: mpv's update callback and
// the renderer post through it, and once the item is gone the posts go nowhere.
class MpvRenderBridge
{
public:
    explicit MpvRenderBridge(QObject *item) : m_item(item) {}

    // GUI thread, from the item's destructor.
    void detach()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_item = nullptr;
    }

    // Any thread: queues a call of the item's slot or invokable on the GUI thread. Qt drops
    // the queued call if the item is deleted before it runs.
    bool post(const char *method)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_item)
            return false;
        return QMetaObject::invokeMethod(m_item, method, Qt::QueuedConnection);
    }

private:
    std::mutex m_mutex;
    QObject *m_item;
};
