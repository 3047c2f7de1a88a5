#include "voice/TCCNMediaTerm.h"

#include "platform/logging/Logging.h"
#include "voice/EAssertionFailed.h"

TCCNMediaTerm::TCCNMediaTerm(Factory factory) : factory_(std::move(factory)) {}

void TCCNMediaTerm::SetFactory(Factory factory)
{
    factory_ = std::move(factory);
}

std::shared_ptr<ICCNMediaTerm> TCCNMediaTerm::DefaultInterface()
{
    if (!terminal_ && factory_) {
        try {
            terminal_ = factory_();
        } catch (const std::exception& e) {
            qCWarning(lcVoice) << "media terminal could not be created:" << e.what();
        }
    }
    if (!terminal_)
        throw EAssertionFailed(QStringLiteral(
            "DefaultInterface is NULL. Component is not connected to Server. You must call "
            "'Connect' or 'ConnectTo' before this operation"));
    return terminal_;
}
