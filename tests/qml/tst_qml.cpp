#include <QtQuickTest>

QUICK_TEST_MAIN(kora_qml)
