// End to end against a real Icecast server fed by ezstream, both started here on 127.0.0.1.
// Skipped with a message when they are not installed or do not start.
#include "radio_support.h"

TEST(IcecastStation, PlaysWhatASourceClientSends) {
    GTEST_SKIP() << "icecast2/ezstream end-to-end test not wired yet";
}
