// Test entry: no test may ever stop in a real debugger break or show a real
// message box, so a recording responder stays installed for the whole run;
// tests that script answers install their own on top of it.
#include <gtest/gtest.h>

#include "support/seam_override.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    ondex::test::MessageBoxScript silentBoxes;
    return RUN_ALL_TESTS();
}
