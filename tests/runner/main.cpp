#include "tests/runner/TTestRunner.h"

int main(int argc, char** argv)
{
    return RunNamedTest(argc, argv);
}
