#pragma once
// One test executable per folder: each file's test class registers itself with KORA_TEST and
// the folder's main file ends in KORA_TEST_MAIN(QCoreApplication or QGuiApplication), which
// runs every class in turn with the same arguments (options such as -v2 or -o, not function names).
#include "support/table.h"

#include <QtTest>

#include <functional>
#include <vector>

namespace testmain {
inline std::vector<std::function<int(int, char **)>> &suites()
{
    static std::vector<std::function<int(int, char **)>> all;
    return all;
}
template <class T>
struct Register {
    Register()
    {
        suites().push_back([](int argc, char **argv) {
            T test;
            return QTest::qExec(&test, argc, argv);
        });
    }
};
} // namespace testmain

#define KORA_TEST(Class) static const testmain::Register<Class> kora_test_##Class;
#define KORA_TEST_MAIN(Application)                                                                \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        Application app(argc, argv);                                                               \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        int failed = 0;                                                                            \
        for (const auto &suite : testmain::suites())                                               \
            failed += suite(argc, argv) != 0;                                                      \
        return failed;                                                                             \
    }
