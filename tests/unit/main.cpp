#include "platform/ui/TApplication.h"

#include <gtest/gtest.h>

// Some logic under test uses Qt's event loop and application paths, so an application object
// exists for the whole run (offscreen, as ctest sets it).
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
