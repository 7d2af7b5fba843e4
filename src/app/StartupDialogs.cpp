// Start-up failure box with a self-dismiss seam for process tests.
#include "app/StartupDialogs.h"

#include <QMessageBox>
#include <QTimer>

namespace app {

void showStartupFailureBox(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok);
    bool ok = false;
    const int dismissMs = qEnvironmentVariableIntValue("TVX_TEST_DISMISS_DIALOGS_MS", &ok);
    if (ok && dismissMs >= 0)
        QTimer::singleShot(dismissMs, &box, [&box] { box.done(QMessageBox::Ok); });
    box.exec();
}

} // namespace app
