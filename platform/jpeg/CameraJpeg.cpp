#include "platform/jpeg/CameraJpeg.h"

#include "platform/jpeg/JpegErrors.h"

#include <memory>

namespace {

constexpr unsigned char kMarker = 0xFF;
constexpr unsigned char kSoi = 0xD8;
constexpr unsigned char kEoi = 0xD9;
constexpr unsigned char kSos = 0xDA;
constexpr unsigned char kDht = 0xC4;
constexpr unsigned char kSof0 = 0xC0; // baseline
constexpr unsigned char kSof1 = 0xC1; // extended sequential, Huffman

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
    if (size < 4 || p[0] != kMarker || p[1] != kSoi)
        return std::nullopt;
    // Walk the segments up to the scan: each states its length, which must stay inside.
    qsizetype at = 2;
    bool haveTables = false;
    bool sequential = false;
    qsizetype scanAt = -1;
    while (at + 4 <= size) {
        if (p[at] != kMarker)
            return std::nullopt;
        const unsigned char marker = p[at + 1];
        if (marker == kMarker) { // fill byte
            ++at;
            continue;
        }
        const int length = p[at + 2] << 8 | p[at + 3];
        if (length < 2 || at + 2 + length > size)
            return std::nullopt;
        if (marker == kDht)
            haveTables = true;
        else if (marker == kSof0 || marker == kSof1)
            sequential = true;
        else if (marker >= 0xC2 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                 marker != 0xCC)
            return std::nullopt; // progressive, lossless or arithmetic coding
        if (marker == kSos) {
            scanAt = at;
            break;
        }
        at += 2 + length;
    }
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
