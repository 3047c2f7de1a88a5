#include <QCoreApplication>

#include <gtest/gtest.h>

// Sockets and waits in the integration tests turn Qt's event loop, so an application object
// exists for the whole run.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
