#include "platform/jpeg/CameraJpeg.h"

#include "platform/jpeg/JpegErrors.h"

#include <algorithm>
#include <memory>

namespace {

constexpr unsigned char kMarker = 0xFF;
constexpr unsigned char kSoi = 0xD8;
constexpr unsigned char kEoi = 0xD9;
constexpr unsigned char kSos = 0xDA;
constexpr unsigned char kDht = 0xC4;
constexpr unsigned char kSof0 = 0xC0; // baseline
constexpr unsigned char kSof1 = 0xC1; // extended sequential, Huffman
constexpr unsigned char kDqt = 0xDB;

// The luminance table the JPEG standard suggests, in the zigzag order a DQT segment holds it;
// encoders scale it by their quality setting.
constexpr int kStandardLuminance[64] = {
    16, 11, 12,  14,  12,  10, 16, 14,  13,  14,  18,  17,  16, 19,  24,  40,
    26, 24, 22,  22,  24,  49, 35, 37,  29,  40,  58,  51,  61, 60,  57,  51,
    56, 55, 64,  72,  92,  78, 64, 68,  87,  69,  55,  56,  80, 109, 81,  87,
    95, 98, 103, 104, 103, 62, 77, 113, 121, 112, 100, 120, 92, 101, 103, 99};

// Calls visit(marker, at, length) for each segment up to and including the scan's header, as
// long as it returns true; false when the segments do not hold together.
template <typename TVisit> bool WalkSegments(const QByteArray& jpeg, TVisit visit)
{
    const auto* p = reinterpret_cast<const unsigned char*>(jpeg.constData());
    const qsizetype size = jpeg.size();
    if (size < 4 || p[0] != kMarker || p[1] != kSoi)
        return false;
    // Each segment states its length, which must stay inside.
    for (qsizetype at = 2; at + 4 <= size;) {
        if (p[at] != kMarker)
            return false;
        const unsigned char marker = p[at + 1];
        if (marker == kMarker) { // fill byte
            ++at;
            continue;
        }
        const int length = p[at + 2] << 8 | p[at + 3];
        if (length < 2 || at + 2 + length > size)
            return false;
        if (!visit(marker, at, length) || marker == kSos)
            return true;
        at += 2 + length;
    }
    return true;
}

void AppendTable(QByteArray& out, int classAndId, const JHUFF_TBL& table)
{
    out.append(char(classAndId));
    int count = 0;
    for (int length = 1; length <= 16; ++length) {
        out.append(char(table.bits[length]));
        count += table.bits[length];
    }
    out.append(reinterpret_cast<const char*>(table.huffval), count);
}

// Only plain data in this frame: the library may jump out of it.
bool ReadStandardTables(jpeg_compress_struct* info, TJpegErrorManager* errors, bool* created)
{
    InstallJpegErrorManager(reinterpret_cast<j_common_ptr>(info), *errors, true);
    if (setjmp(errors->jump))
        return false;
    jpeg_create_compress(info);
    *created = true;
    info->in_color_space = JCS_RGB;
    info->input_components = 3;
    jpeg_set_defaults(info);
    return info->dc_huff_tbl_ptrs[0] && info->dc_huff_tbl_ptrs[1] && info->ac_huff_tbl_ptrs[0] &&
           info->ac_huff_tbl_ptrs[1];
}

// The library's own copy of the standard tables, the ones the JPEG standard suggests and that
// a decoder falls back to for motion JPEG.
QByteArray MakeStandardSegment()
{
    struct TState
    {
        jpeg_compress_struct info;
        TJpegErrorManager errors;
        bool created = false;
    };
    auto state = std::make_unique<TState>();
    QByteArray body;
    if (ReadStandardTables(&state->info, &state->errors, &state->created)) {
        AppendTable(body, 0x00, *state->info.dc_huff_tbl_ptrs[0]);
        AppendTable(body, 0x10, *state->info.ac_huff_tbl_ptrs[0]);
        AppendTable(body, 0x01, *state->info.dc_huff_tbl_ptrs[1]);
        AppendTable(body, 0x11, *state->info.ac_huff_tbl_ptrs[1]);
    }
    if (state->created)
        jpeg_destroy_compress(&state->info);
    if (body.isEmpty())
        return {};
    QByteArray segment;
    const int length = int(body.size()) + 2;
    segment.append(char(kMarker)).append(char(kDht));
    segment.append(char(length >> 8)).append(char(length & 0xFF));
    segment.append(body);
    return segment;
}

} // namespace

const QByteArray& CameraJpeg::StandardHuffmanSegment()
{
    static const QByteArray segment = MakeStandardSegment();
    return segment;
}

std::optional<QByteArray> CameraJpeg::Sendable(const QByteArray& jpeg)
{
    const auto* p = reinterpret_cast<const unsigned char*>(jpeg.constData());
    const qsizetype size = jpeg.size();
    bool haveTables = false;
    bool sequential = false;
    bool coded = true;
    qsizetype scanAt = -1;
    const bool whole = WalkSegments(jpeg, [&](unsigned char marker, qsizetype at, int) {
        if (marker == kDht)
            haveTables = true;
        else if (marker == kSof0 || marker == kSof1)
            sequential = true;
        else if (marker >= 0xC2 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                 marker != 0xCC)
            coded = false; // progressive, lossless or arithmetic coding
        if (marker == kSos)
            scanAt = at;
        return coded;
    });
    if (!whole || !coded)
        return std::nullopt;
    if (scanAt < 0 || !sequential)
        return std::nullopt;
    // The picture ends at the last end marker; whatever a driver put after it is dropped.
    qsizetype end = size - 2;
    while (end > scanAt && !(p[end] == kMarker && p[end + 1] == kEoi))
        --end;
    if (end <= scanAt)
        return std::nullopt;
    QByteArray out;
    if (haveTables) {
        out = jpeg.left(end + 2);
    } else {
        const QByteArray& tables = StandardHuffmanSegment();
        if (tables.isEmpty())
            return std::nullopt;
        out.reserve(end + 2 + tables.size());
        out.append(jpeg.constData(), scanAt);
        out.append(tables);
        out.append(jpeg.constData() + scanAt, end + 2 - scanAt);
    }
    return out;
}

std::optional<int> CameraJpeg::Quality(const QByteArray& jpeg)
{
    const auto* p = reinterpret_cast<const unsigned char*>(jpeg.constData());
    std::optional<int> quality;
    WalkSegments(jpeg, [&](unsigned char marker, qsizetype at, int length) {
        if (marker != kDqt)
            return true;
        // The tables of the segment: one byte of precision and id, then 64 entries of 1 or 2
        // bytes. Table 0 is the luminance one.
        for (qsizetype t = at + 4, end = at + 2 + length; t < end;) {
            const int precision = p[t] >> 4;
            const int id = p[t] & 0x0F;
            const qsizetype entries = t + 1;
            t = entries + 64 * (precision ? 2 : 1);
            if (t > end)
                return false;
            if (id != 0)
                continue;
            // Entries the encoder had to cut at 255 (very low qualities) say nothing of the scale.
            qint64 sum = 0;
            qint64 standard = 0;
            for (int i = 0; i < 64; ++i) {
                const int value =
                    precision ? (p[entries + 2 * i] << 8 | p[entries + 2 * i + 1]) : p[entries + i];
                if (value < 255) {
                    sum += value;
                    standard += kStandardLuminance[i];
                }
            }
            // The inverse of the usual scaling: quality q < 50 scales by 5000 / q percent,
            // q >= 50 by 200 - 2q percent.
            const double scale = standard ? 100.0 * double(sum) / double(standard) : 5000;
            const double q = scale <= 100 ? (200 - scale) / 2 : 5000 / scale;
            quality = std::clamp(int(q + 0.5), 1, 100);
            return false;
        }
        return true;
    });
    return quality;
}
