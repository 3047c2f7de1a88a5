#include "app/TForms.h"
#include "app/TfrmMain.h"
#include "platform/capturegraph/gst/TGstCaptureSystem.h"
#include "platform/elements/gst/TGstElementCheck.h"
#include "platform/logging/Logging.h"
#include "platform/mediaterm/gst/TGstMediaTerm.h"
#include "platform/ui/TApplication.h"
#include "voice/TfrmCCN.h"

#include <QTimer>
#include <memory>

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("parlavue"));
    TApplication::SetTitle(QStringLiteral("Halvorn Office - Parlavue Video Phone"));

    // The windows, in their fixed order; secondary windows belong to the main window and are
    // hidden, never destroyed, when closed.
    // --test-camera adds a "Test Pattern" camera for machines without one.
    const bool testCamera = app.arguments().contains(QStringLiteral("--test-camera"));
    auto frmMain = std::make_unique<TfrmMain>(std::make_shared<TGstCaptureSystem>(testCamera));
    const unsigned uses =
        UseCamera | UseVoice | UseRingTone | (testCamera ? unsigned(UseTestCamera) : 0u);
    frmMain->FindMissingElements = [uses] { return MissingGstElements(uses); };
    CreateSecondaryForms(*frmMain);
    Forms().frmCCN->ccn.SetFactory([] { return std::make_shared<TGstMediaTerm>(); });

    // The main window appears once the event loop runs, so its start-up can end the program.
    QTimer::singleShot(0, frmMain.get(), [&] { frmMain->show(); });
    const int rc = app.exec();
    Forms() = TForms();
    return rc;
}
