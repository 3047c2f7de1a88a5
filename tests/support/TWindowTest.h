#pragma once

#include "tests/support/TGuiTestEnvironment.h"
#include "tests/support/TScriptedUi.h"

#include <QObject>

#include <memory>

// The base of the window tests: each test function gets a program folder of its own and scripted
// answers to message boxes and dialogs. A test that sets up more calls init() and cleanup() of
// this class from its own.
class TWindowTest : public QObject
{
    Q_OBJECT

protected:
    std::unique_ptr<TGuiTestEnvironment> env;
    std::unique_ptr<TScriptedUiScope> script;

protected slots:
    void init();
    void cleanup();
};
