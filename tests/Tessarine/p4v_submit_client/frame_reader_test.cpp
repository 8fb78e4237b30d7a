#include "check_message_compare.h"

#include "p4v_submit_client/check_message.h"
#include "p4v_submit_client/frame_reader.h"

#include <QtEndian>

#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>
#include <vector>

using namespace velmora;

namespace {

QByteArray lengthField(qint32 length)
{
    QByteArray field(4, '\0');
    qToLittleEndian<qint32>(length, field.data());
    return field;
}

QByteArray frame(const QByteArray& message)
{
    return lengthField(qint32(message.size())) + message;
}

// Plays the client: appends each delivered piece to its buffer and cuts frames
// after each one, keeping copies of the frames it got.
struct Reader {
    QByteArray buffer;
    qint64 offset = 0;
    QList<QByteArray> frames;
    FrameCutEnd last_end = FrameCutEnd::LengthPending;

    FrameCutEnd feed(const QByteArray& piece)
    {
        buffer.append(piece);
        last_end = cutFrames(buffer, offset, [this](QByteArrayView bytes) {
            // The view must point into the buffer, right behind its length field.
            EXPECT_EQ(bytes.data(), buffer.constData() + offset - bytes.size());
            frames.append(bytes.toByteArray());
        });
        return last_end;
    }
};

struct ChunkRow {
    const char* name;
    QList<QByteArray> pieces;
    QList<int> frames_after_piece; // frames cut so far, after each piece
    QList<QByteArray> frames;
    FrameCutEnd end;
    qint64 offset;
};

void PrintTo(const ChunkRow& row, std::ostream* out)
{
    *out << row.name;
}

std::vector<ChunkRow> chunkRows()
{
    const QByteArray a = frame("alpha");
    const QByteArray b = frame(R"({"IdentificationStr":"ServerInfo"})");
    return {
        {"SplitInsideLength", {a.left(2), a.mid(2)}, {0, 1}, {"alpha"}, FrameCutEnd::LengthPending, 9},
        {"SplitAfterLength", {a.left(4), a.mid(4, 3), a.mid(7)}, {0, 0, 1}, {"alpha"}, FrameCutEnd::LengthPending, 9},
        {"SeveralFramesOnePiece", {a + b + a}, {3}, {"alpha", b.mid(4), "alpha"}, FrameCutEnd::LengthPending,
         2 * a.size() + b.size()},
        {"SecondFrameSplitAcrossPieces", {a + b.left(10), b.mid(10)}, {1, 2}, {"alpha", b.mid(4)},
         FrameCutEnd::LengthPending, a.size() + b.size()},
        {"LengthZero", {frame({}) + a}, {2}, {"", "alpha"}, FrameCutEnd::LengthPending, 4 + a.size()},
        {"LengthZeroAlone", {frame({})}, {1}, {""}, FrameCutEnd::LengthPending, 4},
        {"FrameEndsAtBufferEnd", {a}, {1}, {"alpha"}, FrameCutEnd::LengthPending, 9},
        {"OneTrailingByte", {a + "x"}, {1}, {"alpha"}, FrameCutEnd::LengthPending, 9},
        {"ThreeTrailingBytes", {a + "xyz"}, {1}, {"alpha"}, FrameCutEnd::LengthPending, 9},
        {"IncompleteFrameWaits", {a + frame("beta").left(6)}, {1}, {"alpha"}, FrameCutEnd::FramePending, 9},
        {"NegativeLengthStopsOnItsField", {a + lengthField(-1) + a}, {1}, {"alpha"}, FrameCutEnd::NegativeLength, 9},
        {"NegativeLengthStaysStuck", {a + lengthField(-5), a}, {1, 1}, {"alpha"}, FrameCutEnd::NegativeLength, 9},
        {"LowestLength", {lengthField(INT_MIN) + "abcd"}, {0}, {}, FrameCutEnd::NegativeLength, 0},
        {"HighestLengthWaitsWithoutOverflow", {lengthField(INT_MAX) + "abc"}, {0}, {}, FrameCutEnd::FramePending, 0},
        {"TextBodyReadAsLength", {"Internal Server Error"}, {0}, {}, FrameCutEnd::FramePending, 0},
        {"NothingYet", {""}, {0}, {}, FrameCutEnd::LengthPending, 0},
    };
}

class FrameReaderChunks : public testing::TestWithParam<ChunkRow> {};

TEST_P(FrameReaderChunks, CutsCompleteFramesOnly)
{
    const ChunkRow& row = GetParam();
    Reader reader;
    for (int i = 0; i < row.pieces.size(); ++i) {
        reader.feed(row.pieces[i]);
        EXPECT_EQ(reader.frames.size(), row.frames_after_piece[i]) << "after piece " << i;
    }
    EXPECT_EQ(reader.frames, row.frames);
    EXPECT_EQ(reader.last_end, row.end);
    EXPECT_EQ(reader.offset, row.offset);
}

INSTANTIATE_TEST_SUITE_P(Rows, FrameReaderChunks, testing::ValuesIn(chunkRows()),
                         [](const testing::TestParamInfo<ChunkRow>& info) { return std::string(info.param.name); });

const QByteArray kFirst = R"({"IdentificationStr":"ServerInfo","Message":"one"})";
const QByteArray kThird = R"({"IdentificationStr":"CheckResultInfo","Cr":{"Passed":true}})";

QByteArray threeFrameStream()
{
    return frame(kFirst) + frame({}) + frame(kThird);
}

TEST(FrameReader, EverySplitPointGivesTheSameFrames)
{
    const QByteArray stream = threeFrameStream();
    Reader whole;
    whole.feed(stream);
    ASSERT_EQ(whole.frames.size(), 3);
    for (int split = 0; split <= stream.size(); ++split) {
        Reader reader;
        reader.feed(stream.left(split));
        reader.feed(stream.mid(split));
        EXPECT_EQ(reader.frames, whole.frames) << "split at " << split;
        EXPECT_EQ(reader.offset, stream.size());
    }
}

TEST(FrameReader, ByteByByteCutsEachFrameOnceWhenItsLastByteArrives)
{
    const QByteArray stream = threeFrameStream();
    const QList<qint64> frame_ends = {4 + kFirst.size(), 4 + kFirst.size() + 4, stream.size()};
    Reader reader;
    for (qint64 i = 0; i < stream.size(); ++i) {
        reader.feed(stream.mid(i, 1));
        qsizetype expected = 0;
        while (expected < frame_ends.size() && frame_ends[expected] <= i + 1)
            ++expected;
        ASSERT_EQ(reader.frames.size(), expected) << "after byte " << i;
    }
}

TEST(FrameReader, HandlerFailureLeavesFrameConsumedAndRunContinues)
{
    const QByteArray stream = frame("one") + frame("bad") + frame("three");
    qint64 offset = 0;
    QList<QByteArray> seen;
    const FrameHandler handler = [&](QByteArrayView bytes) {
        seen.append(bytes.toByteArray());
        if (bytes == QByteArrayView("bad"))
            throw std::runtime_error("[Deserialize]To CheckMessage Fail.");
    };
    EXPECT_THROW(cutFrames(stream, offset, handler), std::runtime_error);
    EXPECT_EQ(offset, 14); // past "bad", not on it
    EXPECT_EQ(cutFrames(stream, offset, handler), FrameCutEnd::LengthPending);
    EXPECT_EQ(seen, QList<QByteArray>({"one", "bad", "three"}));
}

TEST(FrameReader, PicksUpFramesAppendedByTheHandler)
{
    QByteArray buffer = frame("first");
    qint64 offset = 0;
    QList<QByteArray> seen;
    const FrameCutEnd end = cutFrames(buffer, offset, [&](QByteArrayView bytes) {
        seen.append(bytes.toByteArray());
        // Growing the buffer may move its bytes; the reader must not keep stale pointers.
        if (seen.size() == 1)
            buffer.append(frame(QByteArray(4096, 'f')));
    });
    EXPECT_EQ(end, FrameCutEnd::LengthPending);
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[1], QByteArray(4096, 'f'));
    EXPECT_EQ(offset, buffer.size());
}

TEST(FrameReader, RejectsOffsetOutsideBuffer)
{
    const QByteArray buffer = frame("x");
    const FrameHandler ignore = [](QByteArrayView) {};
    qint64 negative = -1;
    EXPECT_THROW(cutFrames(buffer, negative, ignore), std::out_of_range);
    qint64 beyond = buffer.size() + 1;
    EXPECT_THROW(cutFrames(buffer, beyond, ignore), std::out_of_range);
    qint64 at_end = buffer.size();
    EXPECT_EQ(cutFrames(buffer, at_end, ignore), FrameCutEnd::LengthPending);
}

TEST(FrameReader, ReadsLengthAsSignedLittleEndian)
{
    EXPECT_EQ(readFrameLength("\x01\x02\x03\x04"), 0x04030201);
    EXPECT_EQ(readFrameLength("\xff\xff\xff\x7f"), INT_MAX);
    EXPECT_EQ(readFrameLength("\x00\x00\x00\x80"), INT_MIN);
    EXPECT_EQ(readFrameLength("\xff\xff\xff\xff"), -1);
}

// The client's use: cut each frame and decode it in place, without a copy.
TEST(FrameReader, FramesDecodeInPlaceInOrder)
{
    const QByteArray stream = frame(R"({"IdentificationStr":"ServerInfo","Message":"[1]开始"})") + frame("not json")
        + frame(R"({"IdentificationStr":"CheckResultInfo","Cr":{"Passed":true,"ErrorGroups":[{"CheckerTitle":"T"}]}})");
    qint64 offset = 0;
    QList<CheckMessage> messages;
    cutFrames(stream, offset, [&](QByteArrayView bytes) {
        messages.append(CheckMessage::Deserialize(QByteArray::fromRawData(bytes.data(), bytes.size())));
    });
    ASSERT_EQ(messages.size(), 3);
    EXPECT_EQ(messages[0], check_test::message("ServerInfo", 0, QString::fromUtf8("[1]开始")));
    EXPECT_EQ(messages[1], CheckMessage{});
    CheckerGroup group;
    group.CheckerTitle = "T";
    EXPECT_EQ(messages[2], check_test::message("CheckResultInfo", 0, {}, check_test::result(true, {group})));
}

} // namespace
