#pragma once
// A data-driven test's columns in one line: columns<int, QString>({"count", "name"}).
#include <QtTest>

#include <initializer_list>

template <class... T>
void columns(std::initializer_list<const char *> names)
{
    Q_ASSERT(names.size() == sizeof...(T));
    auto name = names.begin();
    (QTest::addColumn<T>(*name++), ...);
}
