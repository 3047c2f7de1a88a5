#pragma once

#include "platform/ui/IUiServices.h"

#include <memory>

// Holds the services in use: Qt dialogs unless a test has installed its own.
class TUiServices
{
public:
    static IUiServices& Instance();
    // Installs services and returns the ones they replace (nullptr for the built-in ones).
    static std::unique_ptr<IUiServices> Install(std::unique_ptr<IUiServices> services);
};

inline IUiServices& Ui()
{
    return TUiServices::Instance();
}
