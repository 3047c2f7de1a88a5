#include "tests/runner/TTestRunner.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

std::map<std::string, TTestEntry::TMain>& Entries()
{
    static std::map<std::string, TTestEntry::TMain> entries;
    return entries;
}

std::string BaseName(const char* file)
{
    std::string name(file);
    if (const auto slash = name.find_last_of('/'); slash != std::string::npos)
        name.erase(0, slash + 1);
    if (const auto dot = name.find('.'); dot != std::string::npos)
        name.erase(dot);
    return name;
}

} // namespace

TTestEntry::TTestEntry(const char* file, TMain main)
{
    Entries().emplace(BaseName(file), main);
}

int RunNamedTest(int argc, char** argv)
{
    const auto it = argc > 1 ? Entries().find(argv[1]) : Entries().end();
    if (it == Entries().end()) {
        std::fprintf(stderr, "usage: %s <test> [QtTest options]; the tests are:\n", argv[0]);
        for (const auto& [name, main] : Entries())
            std::fprintf(stderr, "  %s\n", name.c_str());
        return 2;
    }
    // QtTest reads the arguments as when each test was an executable of its own.
    std::vector<char*> args{argv[0]};
    args.insert(args.end(), argv + 2, argv + argc);
    args.push_back(nullptr);
    return it->second(argc - 1, args.data());
}
