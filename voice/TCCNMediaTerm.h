#pragma once

#include "voice/CCNSMTLib_TLB.h"

#include <functional>
#include <memory>

// The wrapper through which sessions reach the media terminal: the first request makes the
// one terminal of the process, later requests return that same terminal.
class TCCNMediaTerm
{
public:
    using Factory = std::function<std::shared_ptr<ICCNMediaTerm>()>;

    explicit TCCNMediaTerm(Factory factory = {});

    void SetFactory(Factory factory);
    // Throws EAssertionFailed when no terminal can be had.
    std::shared_ptr<ICCNMediaTerm> DefaultInterface();
    bool Connected() const { return terminal_ != nullptr; }

private:
    Factory factory_;
    std::shared_ptr<ICCNMediaTerm> terminal_;
};
