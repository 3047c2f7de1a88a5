#pragma once

// Many QtTest objects share one executable, so an area's tests compile and link once; the first
// argument names the test to run ("tst_MainWindow"), the rest go to QtTest unchanged.
class TTestEntry
{
public:
    using TMain = int (*)(int argc, char** argv);

    // name is the test's source file (__FILE__); the runner knows it by its base name.
    TTestEntry(const char* file, TMain main);
};

// Runs the test argv[1] names with the arguments after it; lists the tests and fails without one.
int RunNamedTest(int argc, char** argv);

// Registers a test's main function with the runner, in place of a main() of its own.
#define PARLAVUE_TEST_ENTRY(testMain) static const TTestEntry parlavueTestEntry_(__FILE__, testMain)

// A QtTest object without a window system, as QTEST_GUILESS_MAIN.
#define PARLAVUE_GUILESS_TEST_MAIN(TestObject)                                                     \
    PARLAVUE_TEST_ENTRY([](int argc, char** argv) {                                                \
        QCoreApplication app(argc, argv);                                                          \
        TestObject test;                                                                           \
        return QTest::qExec(&test, argc, argv);                                                    \
    })
