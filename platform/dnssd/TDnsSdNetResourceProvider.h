#pragma once

#include "platform/dnssd/TDnsSdSearch.h"
#include "platform/netenum/INetResourceProvider.h"

#include <QSet>

#include <map>
#include <memory>

class TAvahiClient;

// The network neighbourhood as DNS-SD shows it: the root holds one provider ("DNS-SD"), that
// holds the daemon's browse domain ("local"), and a domain holds one server per computer that
// runs this program or publishes a workstation. A server's remote name is "\\" and its host
// name when the system resolver finds that name at the same address, else "\\" and the
// address. Prepare searches the browse domain afresh, within ReadBudgetMs; a domain's level
// then lists what that search found.
class TDnsSdNetResourceProvider : public INetResourceProvider
{
public:
    static constexpr const char* ProviderName = "DNS-SD";
    static constexpr int ReadBudgetMs = 2500;

    explicit TDnsSdNetResourceProvider(std::shared_ptr<TAvahiClient> client);
    ~TDnsSdNetResourceProvider() override;

    void Prepare(std::function<void()> ready) override;
    TNetOpenResult Open(TNetScope scope, TNetResourceType type, std::uint32_t usage,
                        const std::optional<TNetResource>& container) override;
    TNetReadResult Read(TNetEnumHandle handle, std::uint32_t count,
                        std::size_t bufferSize) override;
    int Close(TNetEnumHandle handle) override;

    // Whether a server entry of the latest search is a copy of this program.
    bool IsProgramCopy(const TNetResource& entry) const;

    // The server entry for one found computer.
    static TNetResource ServerEntry(const TDnsSdHost& host, bool nameResolves);

private:
    enum class TLevel
    {
        Root,
        Provider,
        Domain
    };
    struct TOpenLevel
    {
        TLevel level = TLevel::Root;
        QString domain;
        bool searched = false;
        std::vector<TNetResource> entries;
        std::size_t next = 0;
    };

    void Search(TOpenLevel& level);

    void Searched();

    std::shared_ptr<TAvahiClient> client_;
    std::unique_ptr<TDnsSdSearch> search_; // under way
    std::function<void()> ready_;
    QString searchedDomain_;
    std::vector<TNetResource> found_; // server entries of the latest search
    std::map<TNetEnumHandle, TOpenLevel> levels_;
    TNetEnumHandle lastHandle_ = 0;
    QSet<QString> programCopies_; // remote names
};
