#pragma once

#include "platform/netenum/INetResourceProvider.h"

#include <QStringList>

#include <map>
#include <optional>
#include <vector>

// An in-memory network neighbourhood for tests: a tree of levels whose entries are read in
// batches that fit the caller's buffer, with failures and more-data answers a test asks for.
// Every call is recorded, so a test can check that each opened level was closed.
//
// A container entry opens the first level added with the same remote name, provider and
// display type, so an entry reported again under another parent opens the same level.
class TFakeNetResourceProvider : public INetResourceProvider
{
public:
    using TNode = int;
    static constexpr TNode Root = 0;

    struct TOpenCall
    {
        TNetScope scope;
        TNetResourceType type;
        std::uint32_t usage;
        QString level; // the container's remote name, "(root)" for the root
    };

    TFakeNetResourceProvider();

    // Adds entry to parent's level; returns the level the entry opens when it is a container.
    TNode Add(TNode parent, const TNetResource& entry);
    TNode AddNetwork(TNode parent, const QString& provider);
    TNode AddDomain(TNode parent, const QString& name, const QString& provider);
    // A computer: remote name "\\name", a container of its shares.
    TNode AddServer(TNode parent, const QString& name, const QString& comment,
                    const QString& provider);
    TNode AddShare(TNode server, const QString& share);
    // Reports node's entry once more in parent's level.
    void AddAgain(TNode parent, TNode node);

    const TNetResource& Entry(TNode node) const;

    void FailOpen(TNode level, int errorCode);
    // Reads of level after the first afterReads answer Error with errorCode.
    void FailRead(TNode level, int errorCode, int afterReads = 0);
    // Reads of level throw, as a provider whose call failed outright.
    void ThrowOnRead(TNode level);
    // Reads of level with a smaller buffer answer MoreData asking for bytes.
    void AnswerMoreDataBelow(TNode level, std::size_t bytes);

    TNetOpenResult Open(TNetScope scope, TNetResourceType type, std::uint32_t usage,
                        const std::optional<TNetResource>& container) override;
    TNetReadResult Read(TNetEnumHandle handle, std::uint32_t count,
                        std::size_t bufferSize) override;
    int Close(TNetEnumHandle handle) override;

    // "Open <level>", "Read <level> <buffer size>", "Close <level>", in call order; only calls
    // that reached a level are listed (a failed open is listed, an unknown handle is not).
    QStringList Calls;
    std::vector<TOpenCall> Opens;
    int SuccessfulOpens = 0;
    int Closes = 0;

    // Levels opened and not yet closed, by name.
    QStringList OpenLevels() const;

private:
    struct TLevel
    {
        TNetResource entry;
        std::vector<TNode> children;
        std::optional<int> openFailure;
        std::optional<int> readFailure;
        int readFailureAfter = 0;
        bool throwOnRead = false;
        std::size_t moreDataBelow = 0;
    };
    struct TOpenLevel
    {
        TNode node;
        std::size_t cursor = 0;
        int reads = 0;
    };

    QString Name(TNode node) const;
    std::optional<TNode> Find(const TNetResource& container) const;

    std::vector<TLevel> levels_;
    std::map<TNetEnumHandle, TOpenLevel> open_;
    TNetEnumHandle nextHandle_ = 1;
};
