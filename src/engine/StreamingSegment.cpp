// A video segment through three programs joined by pipes. The stop action reaches the engine
// through the current-process slot; this loop then ends the other two, and any program that
// fails ends the others, so no process outlives the segment.
#include "engine/StreamingSegment.h"

#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include "engine/ChildProcess.h"
#include "engine/StopToken.h"
#include "engine/EngineChoice.h"
#include "engine/EngineSpeed.h"
#include "engine/StreamCommands.h"

namespace {

// Both ends of a pipe, closed when no longer needed.
class Pipe final {
public:
    Pipe()
    {
        if (::pipe2(m_fds.data(), O_CLOEXEC) != 0)
            throw UpscaleCore::err(QStringLiteral("Could not connect the programs: ") +
                                   QString::fromLocal8Bit(std::strerror(errno)));
        // Larger buffers let the three programs run more independently.
        ::fcntl(m_fds[1], F_SETPIPE_SZ, 1 << 20);
    }
    ~Pipe()
    {
        closeRead();
        closeWrite();
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    int read() const { return m_fds[0]; }
    int write() const { return m_fds[1]; }
    void closeRead() { closeEnd(0); }
    void closeWrite() { closeEnd(1); }

private:
    void closeEnd(int end)
    {
        if (m_fds[std::size_t(end)] >= 0)
            ::close(m_fds[std::size_t(end)]);
        m_fds[std::size_t(end)] = -1;
    }
    std::array<int, 2> m_fds{-1, -1};
};

QString lastLine(const QByteArray& output)
{
    const QStringList lines =
        QString::fromUtf8(output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (auto it = lines.crbegin(); it != lines.crend(); ++it)
        if (!it->trimmed().isEmpty())
            return it->trimmed();
    return {};
}

} // namespace

StreamSegment StreamSegment::forVideo(const QString& input, const VideoMeta& meta,
                                      const SegmentPlan& plan, const VideoEncoder& encoder,
                                      double start, double length, const QString& segmentPath)
{
    StreamSegment segment;
    segment.input = input;
    segment.meta = meta;
    segment.start = start;
    segment.duration = length;
    segment.frame = QSize(int(plan.frameWidth), int(plan.frameHeight));
    segment.output = QSize(int(plan.outputWidth), int(plan.outputHeight));
    segment.choice = plan.choice;
    segment.encoder = encoder;
    segment.bitRate = plan.bitRate;
    segment.hevc = plan.hevc;
    segment.segmentPath = segmentPath;
    return segment;
}

double UpscaleCore::runStreamingSegment(const StreamSegment& segment,
                                        const std::function<void(int frames)>& progress)
{
    const QSize upscaled(segment.frame.width() * segment.choice.scale,
                         segment.frame.height() * segment.choice.scale);
    auto decoder = std::make_shared<ChildProcess>(
        ffmpeg(), StreamCommands::decode(segment.input, segment.start, segment.duration,
                                         segment.meta, segment.frame));
    auto engine = std::make_shared<ChildProcess>(
        EngineChoice::binary(EngineKind::Cpu),
        StreamCommands::engine(segment.choice, segment.frame, realesrganModels()));
    auto encoder = std::make_shared<ChildProcess>(
        ffmpeg(),
        StreamCommands::encode(upscaled, segment.meta.fps, segment.output, segment.encoder,
                               segment.bitRate, segment.hevc, segment.segmentPath));
    const std::array<std::shared_ptr<ChildProcess>, 3> all{decoder, engine, encoder};
    // A program that ignores the request is killed by its own poll() once its stop grace is over.
    const auto stopAll = [&] {
        for (const auto& process : all)
            process->terminate();
    };

    Pipe frames;
    Pipe results;
    decoder->setStandardOutput(frames.write());
    engine->setStandardInput(frames.read());
    engine->setStandardOutput(results.write());
    encoder->setStandardInput(results.read());
    StopToken& token = StopToken::current();
    for (const auto& process : all)
        token.attach(process);
    const std::shared_ptr<void> detach(nullptr, [&](void*) {
        for (const auto& process : all)
            token.detach(process);
    });
    try {
        encoder->start();
        results.closeRead();
        engine->start();
        frames.closeRead();
        results.closeWrite();
        decoder->start();
        frames.closeWrite();
    } catch (...) {
        stopAll();
        throw;
    }

    // Each program's status, in the order they ended: the first failure is the cause, the
    // others usually only saw their pipe break.
    std::array<bool, 3> ended{false, false, false};
    const ChildProcess* firstFailure = nullptr;
    using Clock = std::chrono::steady_clock;
    auto nextReport = Clock::now();
    while (!(ended[0] && ended[1] && ended[2])) {
        ::usleep(50000);
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (ended[i] || !all[i]->poll())
                continue;
            ended[i] = true;
            if (all[i]->exitStatus() != 0 && !firstFailure) {
                firstFailure = all[i].get();
                stopAll();
            }
        }
        if (isCancelled())
            stopAll();
        if (progress && Clock::now() >= nextReport) {
            progress(StreamCommands::framesDone(engine->standardError()));
            nextReport = Clock::now() + std::chrono::milliseconds(400);
        }
    }

    if (isCancelled()) {
        QFile::remove(segment.segmentPath);
        throw EngineError::cancelled();
    }
    if (firstFailure) {
        QFile::remove(segment.segmentPath);
        const QString status = QString::number(firstFailure->exitStatus());
        const QString said = lastLine(firstFailure->standardError());
        if (firstFailure == engine.get())
            throw err(QStringLiteral("Real-ESRGAN failed (code ") + status + QStringLiteral("): ") +
                      said.right(200));
        throw err(QStringLiteral("FFmpeg failed: ") +
                  (said.isEmpty() ? QStringLiteral("code ") + status : said));
    }
    if (!QFileInfo(segment.segmentPath).isFile())
        throw err(QStringLiteral("No frames were produced."));
    const QByteArray said = engine->standardError();
    const int count = StreamCommands::framesDone(said);
    const double seconds = StreamCommands::upscaleSeconds(said);
    EngineSpeed::record(EngineKind::Cpu, segment.choice.model, seconds,
                        double(count) * segment.frame.width() * segment.frame.height() / 1e6);
    if (progress)
        progress(count);
    return seconds;
}
