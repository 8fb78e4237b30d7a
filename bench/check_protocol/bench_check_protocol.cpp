// Decoding a large result frame, and cutting a long reply delivered in pieces.
#include "p4v_submit_client/check_message.h"
#include "p4v_submit_client/frame_reader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

using namespace velmora;

constexpr int kErrorCount = 100000;
constexpr int kGroupCount = 20;
constexpr qint64 kMegabyte = 1024 * 1024;

// A result frame of about 12 MB: 20 checkers, 100,000 problems.
const QByteArray& resultFrame()
{
    static const QByteArray frame = [] {
        QJsonArray groups;
        for (int g = 0; g < kGroupCount; ++g) {
            QJsonArray errs;
            for (int i = 0; i < kErrorCount / kGroupCount; ++i) {
                QJsonObject err;
                err.insert("AssetPath",
                    QStringLiteral("//depot/Game/Content/Env/Rock_%1/T_Rock_%2_D.png")
                        .arg(g, 2, 10, QLatin1Char('0'))
                        .arg(i, 5, 10, QLatin1Char('0')));
                err.insert("Message", QString::fromUtf8("贴图尺寸 %1x%1 不是 2 的幂").arg(1000 + i % 24));
                errs.append(err);
            }
            QJsonObject group;
            group.insert("CheckerTitle", QStringLiteral("TextureChecker%1").arg(g));
            group.insert("Errs", errs);
            groups.append(group);
        }
        QJsonObject cr;
        cr.insert("Passed", false);
        cr.insert("ErrorGroups", groups);
        QJsonObject message;
        message.insert("IdentificationStr", "CheckResultInfo");
        message.insert("RetCode", 0);
        message.insert("Message", "");
        message.insert("Cr", cr);
        return QJsonDocument(message).toJson(QJsonDocument::Compact);
    }();
    return frame;
}

void BM_ParseOnly(benchmark::State& state)
{
    const QByteArray& frame = resultFrame();
    for (auto _ : state) {
        QJsonDocument document = QJsonDocument::fromJson(frame);
        benchmark::DoNotOptimize(document);
    }
    state.SetBytesProcessed(state.iterations() * frame.size());
    state.counters["frame_MB"] = double(frame.size()) / 1e6;
}
BENCHMARK(BM_ParseOnly)->Unit(benchmark::kMillisecond);

void BM_DecodeResultFrame(benchmark::State& state)
{
    const QByteArray& frame = resultFrame();
    for (auto _ : state) {
        CheckMessage message = CheckMessage::Deserialize(frame);
        benchmark::DoNotOptimize(message);
        if (message.Cr.ErrorGroups.size() != kGroupCount)
            state.SkipWithError("frame decoded wrong");
    }
    state.SetBytesProcessed(state.iterations() * frame.size());
}
BENCHMARK(BM_DecodeResultFrame)->Unit(benchmark::kMillisecond);

// Progress frames of 100 to 200 bytes each, filling `megabytes`.
const QByteArray& progressReply(qint64 megabytes)
{
    static std::map<qint64, QByteArray> replies;
    QByteArray& bytes = replies[megabytes];
    if (bytes.isEmpty()) {
        bytes.reserve(megabytes * kMegabyte + 256);
        for (int i = 0; bytes.size() < megabytes * kMegabyte; ++i) {
            const QByteArray message
                = QStringLiteral(R"({"IdentificationStr":"ServerInfo","RetCode":0,"Message":"%1"})")
                      .arg(QString::fromUtf8("[TextureChecker] 检查 //depot/Game/T_%1.png ")
                               .arg(i)
                               .leftJustified(40 + i % 60, QLatin1Char('.')))
                      .toUtf8();
            char length[4];
            qToLittleEndian<qint32>(qint32(message.size()), length);
            bytes.append(length, 4);
            bytes.append(message);
        }
    }
    return bytes;
}

// Args: piece size, decode (1) or a no-op handler (0), reply size in MB.
void BM_CutReplyInPieces(benchmark::State& state)
{
    const QByteArray& reply = progressReply(state.range(2));
    const qint64 piece = state.range(0);
    const bool decode = state.range(1) != 0;
    qint64 frames = 0;
    const FrameHandler handler = [&](QByteArrayView frame) {
        ++frames;
        if (decode) {
            CheckMessage message
                = CheckMessage::Deserialize(QByteArray::fromRawData(frame.data(), frame.size()));
            benchmark::DoNotOptimize(message);
        } else {
            benchmark::DoNotOptimize(frame.data());
        }
    };
    for (auto _ : state) {
        QByteArray buffer; // grows as the client's does, without a reserve
        qint64 offset = 0;
        frames = 0;
        for (qint64 at = 0; at < reply.size(); at += piece) {
            buffer.append(reply.constData() + at, qMin(piece, reply.size() - at));
            cutFrames(buffer, offset, handler);
        }
        if (offset != reply.size())
            state.SkipWithError("reply not cut to its end");
    }
    state.SetBytesProcessed(state.iterations() * reply.size());
    state.counters["frames"] = double(frames);
}
BENCHMARK(BM_CutReplyInPieces)
    ->ArgsProduct({ { 1, 4096, 65536 }, { 0, 1 }, { 12, 50 } })
    ->ArgNames({ "piece", "decode", "MB" })
    ->Unit(benchmark::kMillisecond);

// The floor under 1-byte pieces: appending alone, without cutting.
void BM_AppendOnly(benchmark::State& state)
{
    const QByteArray& reply = progressReply(50);
    const qint64 piece = state.range(0);
    for (auto _ : state) {
        QByteArray buffer;
        for (qint64 at = 0; at < reply.size(); at += piece)
            buffer.append(reply.constData() + at, qMin(piece, reply.size() - at));
        benchmark::DoNotOptimize(buffer.constData());
    }
    state.SetBytesProcessed(state.iterations() * reply.size());
}
BENCHMARK(BM_AppendOnly)->ArgName("piece")->Arg(1)->Arg(65536)->Unit(benchmark::kMillisecond);

// Prints the ratios the targets are stated in, once all runs are in.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        // With repetitions the median stands for the benchmark.
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                seconds_per_iteration_[run.run_name.str()] = run.GetAdjustedRealTime();
            else if (run.run_type == Run::RT_Iteration && run.repetitions <= 1)
                seconds_per_iteration_[run.run_name.str()] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        printRatio("decode / parse", "BM_DecodeResultFrame", "BM_ParseOnly");
        const std::string cut = "BM_CutReplyInPieces/piece:";
        for (const std::string decode : { "0", "1" }) {
            const std::string tail = "/decode:" + decode + "/MB:50";
            for (const std::string piece : { "1", "4096" }) {
                printRatio("per byte, piece " + piece + " / 65536, decode " + decode, cut + piece + tail,
                    cut + "65536" + tail);
            }
            for (const std::string piece : { "1", "4096", "65536" }) {
                // Linear in size: 50 MB should take 50/12 times as long as 12 MB.
                printRatio("50 MB / 12 MB scaled (1 = linear), piece " + piece + ", decode " + decode,
                    cut + piece + tail, cut + piece + "/decode:" + decode + "/MB:12", 12.0 / 50.0);
            }
        }
    }

private:
    void printRatio(const std::string& label, const std::string& numerator, const std::string& denominator,
        double scale = 1.0)
    {
        const auto n = seconds_per_iteration_.find(numerator);
        const auto d = seconds_per_iteration_.find(denominator);
        if (n != seconds_per_iteration_.end() && d != seconds_per_iteration_.end() && d->second > 0)
            std::printf("ratio %-45s %6.2f\n", label.c_str(), scale * n->second / d->second);
    }

    std::map<std::string, double> seconds_per_iteration_;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
