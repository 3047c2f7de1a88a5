#include "tests/support/TWindowTest.h"

void TWindowTest::init()
{
    env = std::make_unique<TGuiTestEnvironment>();
    script = std::make_unique<TScriptedUiScope>();
}

void TWindowTest::cleanup()
{
    script.reset();
    env.reset();
}
