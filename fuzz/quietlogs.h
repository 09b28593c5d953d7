#pragma once
// Included by a fuzz target that logs its rejections: every rejected input would otherwise
// write its log line, and the fuzzer would spend its time writing.
#include <QLoggingCategory>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    QLoggingCategory::setFilterRules(QStringLiteral("kora.*=false"));
    return 0;
}
