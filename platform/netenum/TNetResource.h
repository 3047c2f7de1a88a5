#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

// Which part of the network an enumeration covers. The numbers are the classic ones, so traces
// read the same on every platform.
enum class TNetScope : std::uint32_t
{
    Connected = 1,
    GlobalNet = 2,
    Remembered = 3,
    Context = 5,
};

enum class TNetResourceType : std::uint32_t
{
    Any = 0,
    Disk = 1,
    Print = 2,
};

// What an entry is to the user. Generic (0) also serves as "any" in display-type filters.
enum class TNetDisplayType : std::uint32_t
{
    Generic = 0,
    Domain = 1,
    Server = 2,
    Share = 3,
    File = 4,
    Group = 5,
    Network = 6, // a network provider
    Root = 7,
    ShareAdmin = 8,
    Directory = 9,
    Tree = 10,
    NdsContainer = 11,
};

// Usage flags of an entry.
namespace NetUsage {
constexpr std::uint32_t All = 0; // as an open's usage: every resource
constexpr std::uint32_t Connectable = 0x1;
constexpr std::uint32_t Container = 0x2;
} // namespace NetUsage

// Result codes of opening and closing a level; reads answer with TNetReadStatus and, for an
// error, one of these.
namespace NetError {
constexpr int NoError = 0;
constexpr int InvalidHandle = 6;
constexpr int NotContainer = 1207;
constexpr int ExtendedError = 1208;
constexpr int NoNetwork = 1222;
} // namespace NetError

// One entry of a level. A missing text is an empty string.
struct TNetResource
{
    TNetScope scope = TNetScope::GlobalNet;
    TNetResourceType type = TNetResourceType::Any;
    TNetDisplayType displayType = TNetDisplayType::Generic;
    std::uint32_t usage = 0;
    QString localName;
    QString remoteName;
    QString comment;
    QString provider;

    bool IsContainer() const { return (usage & NetUsage::Container) != 0; }
    bool operator==(const TNetResource&) const = default;
};

// The room one entry takes in a read's buffer: a fixed record and its texts as 8-bit strings
// with their terminators. Providers use it so that buffer sizes mean the same everywhere.
std::size_t NetResourceBytes(const TNetResource& entry);
