#include <QApplication>

#include <gtest/gtest.h>

// Frames and failures reach the UI thread through Qt's event loop, and the camera pages are
// shown in widgets, so an application object exists for the whole run (offscreen unless told
// otherwise).
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
