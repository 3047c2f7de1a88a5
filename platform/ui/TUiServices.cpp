#include "platform/ui/TUiServices.h"

#include "platform/ui/TQtUiServices.h"

namespace {
std::unique_ptr<IUiServices>& Current()
{
    static std::unique_ptr<IUiServices> current;
    return current;
}
} // namespace

IUiServices& TUiServices::Instance()
{
    auto& current = Current();
    if (!current)
        current = std::make_unique<TQtUiServices>();
    return *current;
}

std::unique_ptr<IUiServices> TUiServices::Install(std::unique_ptr<IUiServices> services)
{
    auto previous = std::move(Current());
    Current() = std::move(services);
    return previous;
}
