#pragma once
// Rejections log a line each; silenced so the fuzzer spends its time fuzzing.
#include <QLoggingCategory>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    QLoggingCategory::setFilterRules(QStringLiteral("kora.*=false"));
    return 0;
}
