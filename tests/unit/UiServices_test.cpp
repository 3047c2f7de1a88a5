#include "platform/errors/EError.h"
#include "platform/ui/Guarded.h"
#include "platform/ui/TQtUiServices.h"
#include "tests/support/TScriptedUi.h"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

TEST(UiServices, ClassicFiltersBecomeQtFilters)
{
    EXPECT_EQ(TQtUiServices::QtFilter("Supported Media Files|*.mp3;*.wav;*.wma|MP3 (*.mp3)|*.mp3"),
              "Supported Media Files (*.mp3 *.wav *.wma);;MP3 (*.mp3) (*.mp3)");
    EXPECT_EQ(TQtUiServices::QtFilter("All|*.*|dangling"), "All (*.*)");
}

TEST(UiServices, AFailingHandlerShowsItsMessageAndEndsThatHandlerOnly)
{
    TScriptedUiScope script;
    bool after = false;
    Guarded([] { throw EError("Unable to write to /x/Settings.ini"); });
    Guarded([] { throw std::runtime_error("plain failure"); });
    Guarded([&] { after = true; });
    EXPECT_TRUE(after);
    EXPECT_EQ(script.ui.Texts("error"),
              QStringList({"Unable to write to /x/Settings.ini", "plain failure"}));
}

TEST(UiServices, AnExceptionEscapingAnEventIsCaughtByTheApplication)
{
    TScriptedUiScope script;
    QObject target;
    bool ran = false;
    QTimer::singleShot(0, &target, [&] {
        ran = true;
        throw EError("escaped");
    });
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(ran);
    EXPECT_EQ(script.ui.Texts("error"), QStringList{"escaped"});
}

} // namespace
