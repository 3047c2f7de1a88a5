#include <QApplication>

#include <gtest/gtest.h>

// Sockets and waits in the integration tests turn Qt's event loop, and the camera preview is a
// widget, so an application object with widgets exists for the whole run (offscreen unless
// told otherwise).
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
