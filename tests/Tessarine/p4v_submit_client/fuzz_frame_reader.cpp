// Cuts the input as a reply arriving in pieces (the first two bytes choose their sizes) and
// decodes each frame from an exact-size copy: the frames must be those of a one-piece cut.
#include "p4v_submit_client/check_message.h"
#include "p4v_submit_client/frame_reader.h"

#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstdint>
#include <memory>

using namespace velmora;

#define require(condition) ((condition) ? void() : __builtin_trap())

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    std::uint32_t state = data[0] | (std::uint32_t(data[1]) << 8);
    const QByteArray reply(reinterpret_cast<const char*>(data) + 2, qsizetype(size - 2));
    QList<QByteArray> whole_frames;
    qint64 whole_offset = 0;
    const FrameCutEnd whole_end = cutFrames(
        reply, whole_offset, [&](QByteArrayView frame) { whole_frames.append(frame.toByteArray()); });

    QByteArray buffer;
    qint64 offset = 0;
    qsizetype count = 0;
    FrameCutEnd end = FrameCutEnd::LengthPending;
    const FrameHandler handler = [&](QByteArrayView frame) {
        require(
            frame.data() >= buffer.constData() && frame.data() + frame.size() == buffer.constData() + offset);
        require(count < whole_frames.size() && frame == whole_frames[count++]);
        // Any read past the frame's end is an AddressSanitizer report.
        const auto exact = std::make_unique<char[]>(std::size_t(frame.size()));
        std::copy(frame.begin(), frame.end(), exact.get());
        CheckMessage::Deserialize(QByteArray::fromRawData(exact.get(), frame.size()));
    };
    for (qsizetype at = 0; at < reply.size() && end != FrameCutEnd::NegativeLength;) {
        state = state * 1103515245u + 12345u;
        const qsizetype piece = (state >> 28) == 0 ? 1 + (state >> 8) % 4096 : 1 + (state >> 16) % 16;
        buffer.append(reply.constData() + at, qMin(piece, reply.size() - at));
        at += piece;
        end = cutFrames(buffer, offset, handler);
    }
    require(count == whole_frames.size() && offset == whole_offset && end == whole_end);
    return 0;
}
