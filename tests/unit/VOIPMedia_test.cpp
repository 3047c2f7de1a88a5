#include "voice/EAssertionFailed.h"
#include "voice/TCCNMediaTerm.h"
#include "voice/TVOIPMedia.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

// Writes down every call it gets, in order.
class RecordingTerminal : public ICCNMediaTerm
{
public:
    QStringList calls;

    qint32 Note(const QString& call)
    {
        calls << call;
        return 0;
    }
    qint32 InitializeTerminal() override { return Note("InitializeTerminal"); }
    qint32 UninitializeTerminal() override { return Note("UninitializeTerminal"); }
    qint32 ConfigureReceive(qint32 a, qint32 b, qint32 c, qint32 d) override
    {
        return Note(QString("ConfigureReceive(%1,%2,%3,%4)").arg(a).arg(b).arg(c).arg(d));
    }
    qint32 ConfigureTransmit(qint32 a, qint32 b, qint32 c, qint32 d, qint32 e, qint32 f) override
    {
        return Note(QString("ConfigureTransmit(%1,%2,%3,%4,%5,%6)")
                        .arg(a)
                        .arg(b)
                        .arg(c)
                        .arg(d)
                        .arg(e)
                        .arg(f));
    }
    qint32 SetRemoteAddress(const QString& host, qint32 port) override
    {
        return Note(QString("SetRemoteAddress(%1,%2)").arg(host).arg(port));
    }
    qint32 SetLocalPort(qint32 port) override
    {
        return Note(QString("SetLocalPort(%1)").arg(port));
    }
    qint32 StartTransmit(qint32 mode) override
    {
        return Note(QString("StartTransmit(%1)").arg(mode));
    }
    qint32 StopTransmit() override { return Note("StopTransmit"); }
    qint32 StartReceive(qint32 mode) override
    {
        return Note(QString("StartReceive(%1)").arg(mode));
    }
    qint32 StopReceive() override { return Note("StopReceive"); }
    qint32 SetReceiveVolume(qint32 channel, qint32 level) override
    {
        return Note(QString("SetReceiveVolume(%1,%2)").arg(channel).arg(level));
    }
    qint32 SetTransmitVolume(qint32 channel, qint32 level) override
    {
        return Note(QString("SetTransmitVolume(%1,%2)").arg(channel).arg(level));
    }
};

struct Fixture
{
    std::shared_ptr<RecordingTerminal> terminal = std::make_shared<RecordingTerminal>();
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
