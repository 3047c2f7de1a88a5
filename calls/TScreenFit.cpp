#include "calls/TScreenFit.h"

#include "platform/jpeg/TJpegEncoder.h"
#include "platform/logging/Logging.h"

#include <algorithm>
#include <vector>

namespace {

// A frame this much smaller than the datagram means the next width up (44 % more pixels, but
// a screen's JPEG grows less than its area) is likely to fit; so many of them in a row, and it
// is tried. A try that fails makes the next one wait twice as long, so a screen that sits near
// the edge does not swing between two sizes.
constexpr double kRoomyShare = 0.7;
constexpr int kRoomyFramesBeforeGrowing = 15;
constexpr int kMostRoomyFrames = 16 * kRoomyFramesBeforeGrowing;
constexpr int kSettledFrames = 30;

std::vector<int> WidthsFor(int screenWidth)
{
    std::vector<int> widths;
    for (int w : TScreenFit::Widths)
        if (w <= screenWidth)
            widths.push_back(w);
    if (widths.empty())
        widths.push_back(screenWidth);
    return widths;
}

} // namespace

QByteArray TScreenFit::EncodeAt(const QImage& screen, int width, int quality, TJpegEncoder& encoder)
{
    const QImage sized =
        width == screen.width() ? screen : screen.scaledToWidth(width, Qt::SmoothTransformation);
    encoder.SetQuality(quality);
    QByteArray jpeg = encoder.Compress(sized);
    size_ = sized.size();
    return jpeg;
}

QByteArray TScreenFit::Encode(const QImage& screen, TJpegEncoder& encoder, qsizetype limit)
{
    if (screen.isNull())
        return {};
    const std::vector<int> widths = WidthsFor(screen.width());
    widthIndex_ = std::clamp(widthIndex_, 0, int(widths.size()) - 1);
    // At most a few encodings per frame; what this frame learns sets where the next one starts.
    for (int attempt = 0; attempt < 3; ++attempt) {
        QByteArray jpeg = EncodeAt(screen, widths[size_t(widthIndex_)], quality_, encoder);
        if (!jpeg.isEmpty() && jpeg.size() <= limit) {
            if (++framesSinceGrowing_ == kSettledFrames)
                roomyNeeded_ = kRoomyFramesBeforeGrowing;
            const bool roomy = jpeg.size() < qsizetype(double(limit) * kRoomyShare);
            roomyFrames_ = roomy ? roomyFrames_ + 1 : 0;
            if (roomyFrames_ >= roomyNeeded_) {
                roomyFrames_ = 0;
                if (quality_ < GoodQuality) {
                    quality_ = GoodQuality;
                } else if (widthIndex_ > 0) {
                    --widthIndex_;
                    framesSinceGrowing_ = 0;
                    qCDebug(lcVideo)
                        << "screen frames grow to" << widths[size_t(widthIndex_)] << "wide";
                }
            }
            return jpeg;
        }
        roomyFrames_ = 0;
        if (framesSinceGrowing_ < kSettledFrames) {
            roomyNeeded_ = std::min(2 * roomyNeeded_, kMostRoomyFrames);
            framesSinceGrowing_ = kSettledFrames + 1;
        }
        if (quality_ > ReadableQuality) {
            quality_ = ReadableQuality;
        } else if (widthIndex_ + 1 < int(widths.size())) {
            ++widthIndex_;
            quality_ = GoodQuality;
            qCDebug(lcVideo) << "screen frames shrink to" << widths[size_t(widthIndex_)] << "wide";
        } else if (quality_ > LastResortQuality) {
            quality_ = std::max(LastResortQuality, quality_ - 10);
        } else {
            break;
        }
    }
    return {};
}
