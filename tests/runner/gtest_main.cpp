#include <QApplication>

#include <gtest/gtest.h>

// The camera and integration tests: frames, failures, sockets and waits go through Qt's event
// loop, and camera pages and the preview are widgets, so an application object with widgets
// exists for the whole run (offscreen unless told otherwise).
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
