#pragma once

#include <QTest>

namespace trivex::test {

// One data row with its values in column order. String literals arrive as const char*, which
// Qt Test stores as QString.
template <class... Values> void row(const char* name, Values... values) {
    (QTest::newRow(name) << ... << values);
}

} // namespace trivex::test
