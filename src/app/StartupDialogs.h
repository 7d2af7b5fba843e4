// The modal message box of a start-up that cannot proceed.
#pragma once

#include <QString>

namespace app {

// Shows a modal critical box with one OK button. When TVX_TEST_DISMISS_DIALOGS_MS is set
// (process tests only), the box closes itself after that many milliseconds so a test never
// hangs on it.
void showStartupFailureBox(const QString &title, const QString &text);

} // namespace app
