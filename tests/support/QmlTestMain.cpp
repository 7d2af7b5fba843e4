// Entry of every Qt Quick Test runner; the set-up object comes from the runner's own file.
#include "QmlTestSetup.h"

#include <QtQuickTest>

QUICK_TEST_MAIN_WITH_SETUP(tavrixo_qml, QmlTestSetup)
