#pragma once

#include "calls/IDatagramSender.h"
#include "calls/IHostLookup.h"
#include "calls/TCallPorts.h"
#include "calls/TCallSettings.h"
#include "calls/TReplyLimiter.h"
#include "calls/TVOIPMedia.h"
#include "platform/logging/TLogThrottle.h"
#include "platform/player/IMediaPlayer.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class TUdpListener;
struct TSignalMessage;

// One phone's calls: the signalling on the wire, the four call flags, the one peer a call is
// with, ringing, answering, the busy and unanswered replies and the voice of the call.
//
// The peer is the address a call was placed to (looked up once) or the address a ringing
// request came from; it is never read back from anything the user or the network can change
// later. Signalling, status texts and "Cancel" from any other address do not touch the call.
// What the window must show goes out as signals; what the user does comes in as slots.
class TCallSession : public QObject
{
    Q_OBJECT
public:
    using TClock = std::chrono::steady_clock;

    // A repeated request from the caller that rings restarts the ring no sooner than this.
    static constexpr std::chrono::seconds RingRestartSpacing{5};

    // settings is read at the moment each operation needs it and must outlive the session.
    TCallSession(const TCallSettings& settings, TCallPorts ports, QObject* parent = nullptr);
    ~TCallSession() override;

    // Starts listening for signalling; false when the port is held by another program.
    bool Listen();
    quint16 ListenPort() const;

    // Collaborators: the program's own unless replaced (tests put fakes here).
    void SetSender(std::unique_ptr<IDatagramSender> sender);
    void SetLookup(std::unique_ptr<IHostLookup> lookup);
    // What rings; without one a call rings silently.
    void SetRingPlayer(std::unique_ptr<IMediaPlayer> player);
    // The voice link every call of the program uses; it must outlive the session's calls.
    void SetVoiceLink(std::shared_ptr<IVoiceLink> link);
    void SetClock(std::function<TClock::time_point()> clock);
    // Which addresses' datagrams are taken at all (a peer in an encrypted call speaks only in
    // its channel); without it every address's are.
    void SetPlainFilter(std::function<bool(const QHostAddress& from)> admit);
    // The voice keys of an encrypted call with that address, asked as its voice starts; none
    // (or without it) the voice goes plain.
    std::function<std::shared_ptr<const TVoiceKeys>(const QHostAddress& peer)> VoiceKeys;

    // The flags.
    bool Busy() const { return busy_; }
    bool CallOffered() const { return callOffered_; }
    bool Ringing() const { return ringing_; }
    bool Connected() const { return connected_; }
    // A call placed by this side waits for its answer (from the lookup of the host on).
    bool Placing() const { return placing_ != TPlacing::None; }
    // The dotted address of the call's peer; empty when there is none.
    QString Peer() const;
    const QTimer& RingTimer() const { return ringTimer_; }

    // What "Make / Answer Call" does with the host field holding fieldText.
    enum class TMakeAnswer
    {
        Nothing,  // a call is being placed, or is up
        NeedHost, // the field names no host
        Answer,   // answers the caller that rings (or rang, while the field still shows it)
        Place,    // places a call to the host in the field
    };
    TMakeAnswer MakeAnswerAction(const QString& fieldText) const;
    // The field's text names no host: the prompt or nothing.
    static bool NamesNoHost(const QString& fieldText, const QString& prompt);

    // The call's voice.
    bool HasVoice() const { return voice_ != nullptr; }
    void SetMicLevel(qint32 level);
    std::optional<TVoiceStats> VoiceStats() const;

public slots:
    // "Make / Answer Call" pressed with the host field's text.
    void MakeOrAnswer(const QString& fieldText);
    // Places a call to the host; the calling-status window follows placingStarted.
    void Place(const QString& host);
    // Answers the caller that rings (Busy is set: answered by hand).
    void Answer();
    // "End / Decline Call": ends a call; a phone that rings goes on ringing.
    void End();
    // "Cancel Call" in the calling-status window: tells the called host and stops waiting.
    void CancelPlacing();
    // The calling-status window was closed otherwise: nothing is sent, Busy stays set.
    void AbandonPlacing();
    // One signalling datagram from an address.
    void Receive(const QByteArray& datagram, const QString& sender);
    // One signalling text from the secure channel with that address.
    void ReceiveSecure(const QByteArray& text, const QHostAddress& from);

signals:
    // A call request arrived and is taken (auto-answered or ringing): the host field shows the
    // caller's address; autoAnswer tells whether it rings first.
    void incomingCall(const QString& callerID, const QString& address, bool autoAnswer);
    // The caller-ID line: the caller's ID, or cleared.
    void callerShown(const QString& callerID);
    void callerCleared();
    // The phone rings (tone, timer and notice start), and the ring stopped.
    void ringStarted(const QString& callerID, const QString& address);
    void ringStopped();
    // A call is being placed: the calling-status window shows "Calling..." with the die
    // rolling until placingEnded.
    void placingStarted();
    void statusText(const QString& text);
    void placingEnded();
    // Placing failed before the request went out (the host is not found).
    void placeFailed(const QString& message);
    // The call is up with the peer; it ended.
    void accepted(const QHostAddress& peer);
    void ended();
    // The microphone or speaker of the call cannot be used; told once per call.
    void voiceWarning(const QString& text);
    // A device of the call went away and the system default took its place; the call goes on.
    void voiceNotice(const QString& text);

private:
    enum class TPlacing
    {
        None,
        Resolving, // the host is being looked up
        Waiting,   // the request went out; the answer may come from any of placed_
    };

    void Handle(const TSignalMessage& message, const QHostAddress& from);
    void IncomingCall(const QString& callerID, const QHostAddress& from, bool autoAnswer);
    void AnswerCall();
    void CallAccepted(const QHostAddress& from);
    void CallCancelled();
    void RingTimeout();
    void Resolved(quint64 epoch, const QList<QHostAddress>& addresses, const QString& error);
    void StopPlacing();
    void StartVoiceSession(const QHostAddress& peer);
    void StopVoiceSession();
    void VoiceDeviceNotice(const TVoiceDeviceNotice& notice);
    void StopRingTone();
    void SendTo(const QString& text, const QHostAddress& to);
    // The busy or unanswered message, at most once a second per address.
    void Reply(const QHostAddress& to, const char* why);
    bool AwaitingAnswerFrom(const QHostAddress& from) const;
    bool HeldForAnotherHost(const QHostAddress& from) const;
    void LogFlags() const;

    const TCallSettings& settings_;
    TCallPorts ports_;
    TUdpListener* listener_ = nullptr;
    std::unique_ptr<IDatagramSender> sender_;
    std::unique_ptr<IHostLookup> lookup_;
    std::unique_ptr<IMediaPlayer> player_;
    std::shared_ptr<IVoiceLink> link_;
    std::function<TClock::time_point()> clock_ = [] { return TClock::now(); };
    std::function<bool(const QHostAddress&)> plainFilter_;

    bool busy_ = false;
    bool callOffered_ = false;
    bool ringing_ = false;
    bool connected_ = false;
    std::optional<QHostAddress> peer_;
    TPlacing placing_ = TPlacing::None;
    int lookupId_ = 0;
    QList<QHostAddress> placed_; // what the called host was found at
    std::optional<TClock::time_point> ringStart_;
    QTimer ringTimer_;
    TReplyLimiter replies_;
    // Warnings a flood of datagrams would repeat: a line now and then.
    TLogThrottle strayAccepts_;
    TLogThrottle failedDatagrams_;
    std::unique_ptr<TVOIPMedia> voice_;
    bool voiceWarned_ = false; // once per call
    // Counts call operations; an operation that let pending messages run goes on only when no
    // other operation (an end, a new request, a cancel) ran meanwhile.
    quint64 epoch_ = 0;
};
