// Owner of one libmpv handle, shared by the engine and the video renderer, with what this libmpv build
// supports.
#pragma once

#include <QHash>
#include <QSet>
#include <QString>

#include <memory>

#include <mpv/client.h>

// The engine creates the core; the renderer keeps a reference while its render context
// lives, so the handle is destroyed only after the render context has been freed, whichever
// of the two QML destroys first.
class MpvCore
{
public:
    // Creates (not initialises) a handle; null when mpv_create fails.
    static std::shared_ptr<MpvCore> create();
    ~MpvCore();

    // Lets go of one reference on a worker thread: when it is the last, mpv's shutdown (which
    // waits for mpv's own threads) runs there, never in a render call or while the GUI thread
    // waits for the render thread. The core's render context must already be freed.
    static void release(std::shared_ptr<MpvCore> core);

    MpvCore(const MpvCore &) = delete;
    MpvCore &operator=(const MpvCore &) = delete;

    mpv_handle *handle() const { return m_handle; }

    // Reads the property list of the initialised handle once.
    void probeCapabilities();
    // False only when the probe ran and the property is absent from this libmpv.
    bool hasProperty(const char *name) const;
    // The same answer for an engine that has no handle yet: every handle of the process runs
    // the same libmpv, so the latest probe of any core speaks for it; true before any probe.
    static bool processHasProperty(const char *name);

    // A read that waits for the core (mpv_get_property). Each is counted, so that a test can
    // check that a path of the GUI thread never waits.
    int readProperty(const char *name, mpv_format format, void *data) const;
    quint64 blockingReadCount() const { return m_blockingReads; }
    // The format mpv reports for the property (MPV_FORMAT_NONE when unknown); read once.
    mpv_format propertyFormat(const char *name);
    // True the first time a missing property is seen, so it is logged once per core.
    bool noteMissingProperty(const char *name);

private:
    explicit MpvCore(mpv_handle *handle);

    mpv_handle *m_handle = nullptr;
    bool m_probed = false;
    QSet<QByteArray> m_properties;
    QHash<QByteArray, int> m_formats;
    QSet<QByteArray> m_reportedMissing;
    mutable quint64 m_blockingReads = 0;
};
