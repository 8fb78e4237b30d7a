// Feeds the input as a check reply delivered in pieces: cuts frames after each
// piece and decodes each one, checking against a one-piece cut and against the
// re-parsing decoder. The first two bytes choose the piece sizes.
#include "check_message_compare.h"
#include "literal_decoder.h"

#include "p4v_submit_client/check_message.h"
#include "p4v_submit_client/frame_reader.h"

#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

using namespace velmora;

void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

// Decodes from an allocation of exactly the frame's size, so that any read
// past the frame's end is an AddressSanitizer report.
CheckMessage decodeExact(QByteArrayView frame)
{
    const auto copy = std::make_unique<char[]>(std::size_t(frame.size()) + (frame.isEmpty() ? 1 : 0));
    std::copy(frame.begin(), frame.end(), copy.get());
    return CheckMessage::Deserialize(QByteArray::fromRawData(copy.get(), frame.size()));
}

struct Cut {
    QList<QByteArray> frames;
    qint64 offset = 0;
    FrameCutEnd end = FrameCutEnd::LengthPending;
};

Cut cutWhole(const QByteArray& reply)
{
    Cut cut;
    cut.end = cutFrames(reply, cut.offset, [&](QByteArrayView frame) { cut.frames.append(frame.toByteArray()); });
    return cut;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    std::uint32_t state = data[0] | (std::uint32_t(data[1]) << 8);
    const QByteArray reply(reinterpret_cast<const char*>(data) + 2, qsizetype(size - 2));
    const Cut whole = cutWhole(reply);

    QByteArray buffer;
    qint64 offset = 0;
    qsizetype frame_count = 0;
    FrameCutEnd end = FrameCutEnd::LengthPending;
    const FrameHandler handler = [&](QByteArrayView frame) {
        // The frame lies inside the buffer and the offset has passed it.
        require(frame.data() >= buffer.constData() && frame.data() + frame.size() <= buffer.constData() + buffer.size());
        require(frame.data() + frame.size() == buffer.constData() + offset);
        require(frame_count < whole.frames.size() && frame == whole.frames[frame_count]);
        ++frame_count;
        const CheckMessage message = decodeExact(frame);
        require(message == check_test::literalDecodeMessage(frame.toByteArray()));
    };

    for (qsizetype at = 0; at < reply.size() && end != FrameCutEnd::NegativeLength;) {
        state = state * 1103515245u + 12345u;
        const qsizetype piece = (state >> 28) == 0 ? 1 + (state >> 8) % 4096 : 1 + (state >> 16) % 16;
        buffer.append(reply.constData() + at, qMin(piece, reply.size() - at));
        at += piece;
        const qint64 before = offset;
        end = cutFrames(buffer, offset, handler);
        require(offset >= before && offset <= buffer.size());
    }
    // However the reply was split, the same frames come out, and it stops where a whole cut stops.
    require(frame_count == whole.frames.size());
    require(offset == whole.offset);
    require(end == whole.end);
    return 0;
}
