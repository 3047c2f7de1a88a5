#include "platform/voice/gst/PeerAddress.h"

#include "platform/voice/gst/GstHelpers.h"

// Only the struct layout is used: the meta's type is looked up by name, so libgstnet and gio
// need not be linked. gio's headers use "signals" as a field name, which Qt defines away.
#pragma push_macro("signals")
#undef signals
#include <gst/net/gstnetaddressmeta.h>
#pragma pop_macro("signals")

#include <arpa/inet.h>
#include <netdb.h>

#include <cstring>
#include <memory>

namespace voicelink {

std::optional<PeerAddress> resolve(const QString& host, int port)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &found) != 0 || !found)
        return std::nullopt;
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> guard(found, freeaddrinfo);

    // The receive socket listens on IPv4, so an IPv4 answer is preferred.
    const addrinfo* pick = nullptr;
    for (const addrinfo* ai = found; ai && !pick; ai = ai->ai_next)
        if (ai->ai_family == AF_INET)
            pick = ai;
    for (const addrinfo* ai = found; ai && !pick; ai = ai->ai_next)
        if (ai->ai_family == AF_INET6)
            pick = ai;
    if (!pick)
        return std::nullopt;

    PeerAddress peer;
    peer.family = pick->ai_family;
    peer.port = port;
    const void* raw = nullptr;
    if (pick->ai_family == AF_INET) {
        raw = &reinterpret_cast<const sockaddr_in*>(pick->ai_addr)->sin_addr;
        std::memcpy(peer.bytes.data(), raw, 4);
    } else {
        raw = &reinterpret_cast<const sockaddr_in6*>(pick->ai_addr)->sin6_addr;
        std::memcpy(peer.bytes.data(), raw, 16);
    }
    char text[INET6_ADDRSTRLEN] = {};
    if (!inet_ntop(pick->ai_family, raw, text, sizeof text))
        return std::nullopt;
    peer.numericHost = text;
    return peer;
}

// Read through GObject properties.
bool senderOf(GstBuffer* buffer, int& family, std::array<quint8, 16>& bytes)
{
    const GType api = g_type_from_name("GstNetAddressMetaAPI");
    if (!api)
        return false;
    auto* meta = reinterpret_cast<GstNetAddressMeta*>(gst_buffer_get_meta(buffer, api));
    if (!meta || !meta->addr)
        return false;
    GObject* socketAddress = G_OBJECT(meta->addr);
    if (!g_object_class_find_property(G_OBJECT_GET_CLASS(socketAddress), "address"))
        return false;
    GObject* inetRaw = nullptr;
    g_object_get(socketAddress, "address", &inetRaw, nullptr);
    std::unique_ptr<GObject, GObjectUnref> inet(inetRaw);
    if (!inet)
        return false;
    gint fam = 0;
    gpointer raw = nullptr;
    g_object_get(inet.get(), "family", &fam, "bytes", &raw, nullptr);
    if (!raw)
        return false;
    static constexpr quint8 kMappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    bytes.fill(0);
    if (fam == AF_INET) {
        std::memcpy(bytes.data(), raw, 4);
    } else if (fam == AF_INET6 && std::memcmp(raw, kMappedPrefix, 12) == 0) {
        fam = AF_INET;
        std::memcpy(bytes.data(), static_cast<const quint8*>(raw) + 12, 4);
    } else if (fam == AF_INET6) {
        std::memcpy(bytes.data(), raw, 16);
    } else {
        return false;
    }
    family = fam;
    return true;
}

} // namespace voicelink
