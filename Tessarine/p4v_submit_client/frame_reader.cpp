#include "p4v_submit_client/frame_reader.h"

#include <QString>
#include <QtEndian>

#include <stdexcept>

namespace velmora {

qint32 readFrameLength(const char* at) { return qFromLittleEndian<qint32>(at); }

FrameCutEnd cutFrames(const QByteArray& buffer, qint64& read_offset, const FrameHandler& on_frame)
{
    if (read_offset < 0 || read_offset > buffer.size()) {
        throw std::out_of_range(QStringLiteral("Read offset %1 lies outside the reply buffer of %2 bytes.")
                                    .arg(read_offset)
                                    .arg(buffer.size())
                                    .toStdString());
    }
    for (;;) {
        // Size and data are read afresh for every frame: a handler may have
        // appended to the buffer, which can move its bytes.
        const qint64 unread = buffer.size() - read_offset;
        if (unread < kFrameLengthSize)
            return FrameCutEnd::LengthPending;
        const char* length_field = buffer.constData() + read_offset;
        const qint64 length = readFrameLength(length_field);
        if (length < 0)
            return FrameCutEnd::NegativeLength;
        // 64-bit arithmetic: a length up to 2^31-1 cannot overflow here.
        if (length > unread - kFrameLengthSize)
            return FrameCutEnd::FramePending;
        read_offset += kFrameLengthSize + length;
        on_frame(QByteArrayView(length_field + kFrameLengthSize, length));
    }
}

} // namespace velmora
