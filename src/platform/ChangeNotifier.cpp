// Association-change notification counter.
#include "platform/ChangeNotifier.h"

#include <atomic>

namespace platform {
namespace {
std::atomic<int> g_associationChangeCount{0};
}

void notifyAssociationsChanged()
{
    g_associationChangeCount.fetch_add(1, std::memory_order_relaxed);
}

int associationChangeNotificationCount()
{
    return g_associationChangeCount.load(std::memory_order_relaxed);
}

} // namespace platform
