// Owner of one libmpv handle and the capability probe of the linked libmpv.
#include "player/mpv/MpvCore.h"

#include "player/mpv/MpvNames.h"

#include <QThreadPool>

namespace {

// mpv's shutdowns, apart from the pool that runs the program's long jobs so none waits behind
// them; waited for when the program ends.
Q_GLOBAL_STATIC(QThreadPool, shutdownPool)

// The property list of the latest probe in this process; GUI thread only, like the engines.
QSet<QByteArray> &processProperties()
{
    static QSet<QByteArray> properties;
    return properties;
}

} // namespace

std::shared_ptr<MpvCore> MpvCore::create()
{
    mpv_handle *handle = mpv_create();
    if (!handle)
        return nullptr;
    return std::shared_ptr<MpvCore>(new MpvCore(handle));
}

MpvCore::MpvCore(mpv_handle *handle) : m_handle(handle) {}

void MpvCore::release(std::shared_ptr<MpvCore> core)
{
    if (!core)
        return;
    shutdownPool()->start(std::function<void()>([core = std::move(core)]() mutable { core.reset(); }));
}

MpvCore::~MpvCore()
{
    if (m_handle)
        mpv_terminate_destroy(m_handle);
}

void MpvCore::probeCapabilities()
{
    if (m_probed || !m_handle)
        return;
    mpv_node node;
    if (readProperty(mpvname::kPropertyList, MPV_FORMAT_NODE, &node) < 0)
        return;
    if (node.format == MPV_FORMAT_NODE_ARRAY && node.u.list) {
        for (int i = 0; i < node.u.list->num; ++i) {
            const mpv_node &entry = node.u.list->values[i];
            if (entry.format == MPV_FORMAT_STRING && entry.u.string)
                m_properties.insert(QByteArray(entry.u.string));
        }
        m_probed = !m_properties.isEmpty();
        if (m_probed)
            processProperties() = m_properties;
    }
    mpv_free_node_contents(&node);
}

bool MpvCore::hasProperty(const char *name) const
{
    return !m_probed || m_properties.contains(QByteArray(name));
}

bool MpvCore::processHasProperty(const char *name)
{
    const QSet<QByteArray> &properties = processProperties();
    return properties.isEmpty() || properties.contains(QByteArray(name));
}

int MpvCore::readProperty(const char *name, mpv_format format, void *data) const
{
    if (!m_handle)
        return MPV_ERROR_UNINITIALIZED;
    ++m_blockingReads;
    return mpv_get_property(m_handle, name, format, data);
}

mpv_format MpvCore::propertyFormat(const char *name)
{
    const QByteArray key(name);
    const auto it = m_formats.constFind(key);
    if (it != m_formats.constEnd())
        return static_cast<mpv_format>(it.value());
    mpv_format format = MPV_FORMAT_NONE;
    mpv_node node;
    if (readProperty(name, MPV_FORMAT_NODE, &node) >= 0) {
        format = node.format;
        mpv_free_node_contents(&node);
        m_formats.insert(key, format);
    }
    return format;
}

bool MpvCore::noteMissingProperty(const char *name)
{
    const QByteArray key(name);
    if (m_reportedMissing.contains(key))
        return false;
    m_reportedMissing.insert(key);
    return true;
}
