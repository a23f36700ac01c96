#include <gtest/gtest.h>

#include "doc/errors.h"
#include "sheet_fixture.h"

using namespace varelo;
using fixture::SheetFixture;

TEST(PageGrid, UnknownLayoutMakesNoTableAndFails) {
    for (int16_t code : {0, 7, -1}) {
        SheetFixture s;
        EXPECT_THROW(s.Build(code, SheetFixture::kPageGrid), host::HostError);
        EXPECT_EQ(s.doc.TableCount(), 0);
    }
}
