#include "player/mpv/MpvLibraryLoader.h"

#include "core/Log.h"
#include "player/mpv/MpvLibrary.h"

#include <QElapsedTimer>
#include <QThread>

MpvLibraryLoader::MpvLibraryLoader(QObject *parent) : QObject(parent) {}

MpvLibraryLoader::~MpvLibraryLoader()
{
    // The dynamic loader cannot be interrupted; a quit during the opening waits for its end.
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

void MpvLibraryLoader::loadInBackground()
{
    if (m_ready || m_thread)
        return;
    if (mpvlib::openingDone()) {
        setReady();
        return;
    }
    m_thread = QThread::create([] {
        QElapsedTimer timer;
        timer.start();
        const bool ok = mpvlib::open();
        TVX_LOG_INFO << "[mpv] library opened in the background, ok =" << ok << "ms =" << timer.elapsed();
    });
    m_thread->setObjectName(QStringLiteral("mpv library"));
    // finished is emitted on the loading thread: the connection queues it to this object.
    connect(m_thread, &QThread::finished, this, &MpvLibraryLoader::setReady);
    m_thread->start(QThread::LowPriority);
}

void MpvLibraryLoader::setReady()
{
    if (m_ready)
        return;
    m_ready = true;
    emit readyChanged();
}
