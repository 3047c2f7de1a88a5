#include "platform/jpeg/JpegErrors.h"

namespace {

[[noreturn]] void ErrorExit(j_common_ptr info)
{
    auto* manager = reinterpret_cast<TJpegErrorManager*>(info->err);
    std::longjmp(manager->jump, 1);
}

void EmitMessage(j_common_ptr info, int level)
{
    auto* manager = reinterpret_cast<TJpegErrorManager*>(info->err);
    // Level -1 is a warning: corrupt data the library would otherwise paper over.
    if (level < 0) {
        manager->pub.num_warnings++;
        if (manager->warningsAreErrors)
            std::longjmp(manager->jump, 1);
    }
}

void OutputMessage(j_common_ptr)
{
    // Nothing is printed: a bad datagram is dropped quietly.
}

} // namespace

void InstallJpegErrorManager(j_common_ptr info, TJpegErrorManager& manager, bool warningsAreErrors)
{
    info->err = jpeg_std_error(&manager.pub);
    manager.pub.error_exit = ErrorExit;
    manager.pub.emit_message = EmitMessage;
    manager.pub.output_message = OutputMessage;
    manager.warningsAreErrors = warningsAreErrors;
}
