#include <gtest/gtest.h>

#include "platform/common/ServiceInstanceName.h"

namespace {

TEST(ServiceInstanceName, NameTypeAndTheLocalDomain) {
    EXPECT_EQ(ServiceInstanceName(u"Office PC", "_tavrixremote._tcp"),
              u"Office PC._tavrixremote._tcp.local");
    // A trailing blank and text beyond ASCII pass unchanged.
    EXPECT_EQ(ServiceInstanceName(u"Caf\u00e9 \u4e2d ", "_t._tcp"),
              u"Caf\u00e9 \u4e2d ._t._tcp.local");
}

TEST(ServiceInstanceName, DotsAndBackslashesInTheNameAreEscaped) {
    EXPECT_EQ(ServiceInstanceName(u"v1.2", "_t._tcp"), u"v1\\.2._t._tcp.local");
    EXPECT_EQ(ServiceInstanceName(u"a\\b.", "_t._tcp"), u"a\\\\b\\.._t._tcp.local");
}

}  // namespace
