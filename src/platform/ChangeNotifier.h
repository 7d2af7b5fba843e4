// The shell's "file associations changed" notification, counted so tests can see it was sent.
#pragma once

namespace platform {

// Tells the desktop that file associations changed. Linux desktops have no such broadcast
// (they re-read their MIME caches themselves), so only the count remains.
void notifyAssociationsChanged();
int associationChangeNotificationCount();

} // namespace platform
