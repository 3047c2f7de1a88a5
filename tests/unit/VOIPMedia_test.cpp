#include "tests/support/TRecordingTerminal.h"
#include "voice/EAssertionFailed.h"
#include "voice/TCCNMediaTerm.h"
#include "voice/TVOIPMedia.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

struct Fixture
{
    std::shared_ptr<TRecordingTerminal> terminal = std::make_shared<TRecordingTerminal>();
    int made = 0;
    TCCNMediaTerm ccn{[this] {
        ++made;
        return terminal;
    }};
};

TEST(VOIPMedia, ASessionDrivesTheOneTerminalInTheFixedOrder)
{
    Fixture f;
    {
        TVOIPMedia session(f.ccn);
        EXPECT_EQ(session.TransmitTerminal, session.ReceiveTerminal);
        session.SetRemotePort(8500);
        session.SetLocalPort(8500);
        session.SetRemoteAddress("192.0.2.5");
        session.StartVoice();
        session.SetMicLevel(30);
        session.StopVoice();
    }
    EXPECT_EQ(f.terminal->calls,
              QStringList({"InitializeTerminal", "InitializeTerminal",
                           "ConfigureTransmit(4,20,0,1,1,0)", "SetRemoteAddress(192.0.2.5,8500)",
                           "ConfigureReceive(4,20,0,0)", "SetLocalPort(8500)", "StartReceive(0)",
                           "StartTransmit(0)", "SetReceiveVolume(0,80)", "SetTransmitVolume(0,80)",
                           "SetTransmitVolume(0,30)", "StopReceive", "StopTransmit",
                           // freeing the session
                           "StopReceive", "StopTransmit", "StopReceive", "StopTransmit",
                           "UninitializeTerminal", "UninitializeTerminal"}));
    EXPECT_EQ(f.terminal.use_count(), 2); // the session let go; the component keeps its one
}

TEST(VOIPMedia, EverySessionOfTheProcessSharesTheOneTerminal)
{
    Fixture f;
    auto first = std::make_unique<TVOIPMedia>(f.ccn);
    first.reset();
    TVOIPMedia second(f.ccn);
    EXPECT_EQ(f.made, 1);
    EXPECT_EQ(second.TransmitTerminal, f.terminal);
}

TEST(VOIPMedia, NoTerminalMeansTheComponentIsNotConnected)
{
    const QString text = "DefaultInterface is NULL. Component is not connected to Server. You "
                         "must call 'Connect' or 'ConnectTo' before this operation";
    for (TCCNMediaTerm::Factory factory :
         {TCCNMediaTerm::Factory{},
          TCCNMediaTerm::Factory{[] { return std::shared_ptr<ICCNMediaTerm>(); }},
          TCCNMediaTerm::Factory{
              []() -> std::shared_ptr<ICCNMediaTerm> { throw std::runtime_error("no server"); }}}) {
        TCCNMediaTerm ccn(factory);
        try {
            TVOIPMedia session(ccn);
            ADD_FAILURE() << "a session without a terminal";
        } catch (const EAssertionFailed& e) {
            EXPECT_EQ(e.Message(), text);
        }
        EXPECT_FALSE(ccn.Connected());
    }
}

} // namespace
