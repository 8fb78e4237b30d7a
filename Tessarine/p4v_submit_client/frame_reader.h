#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <functional>

namespace velmora {

// Size of the frame length field: a signed 32-bit little-endian byte count.
inline constexpr qint64 kFrameLengthSize = 4;

// How a pass over the reply buffer ended.
enum class FrameCutEnd {
    LengthPending, // fewer than 4 unread bytes: wait for more, or the reply is over
    FramePending, // the length field announces more bytes than have arrived
    NegativeLength, // outside the format: the stream is corrupt and nothing more can be cut
};

// Receives one frame's message bytes. The view points into the reply buffer and
// is valid until the buffer changes; QByteArray::fromRawData(frame.data(),
// frame.size()) hands it to CheckMessage::Deserialize without a copy.
using FrameHandler = std::function<void(QByteArrayView frame)>;

// Reads the frame length stored at `at` (4 bytes, little-endian, signed).
qint32 readFrameLength(const char* at);

// Cuts every complete frame out of `buffer`, starting at `read_offset`, which
// always sits on a length field. The offset passes each frame before the frame
// goes to `on_frame`, so when the handler throws, the frame counts as consumed
// and the exception reaches the caller. Bytes are never copied or moved: the
// caller keeps appending to the buffer and calls again. At a negative length
// the offset stays on that length field. Throws std::out_of_range when
// `read_offset` lies outside the buffer.
FrameCutEnd cutFrames(const QByteArray& buffer, qint64& read_offset, const FrameHandler& on_frame);

} // namespace velmora
