// The main of test programs that need the application object: one TApplication for the whole
// run, as the program has one.
#include "TApplication.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    TApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
