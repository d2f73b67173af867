// The Real-ESRGAN runs of the engine. The engine binary exits with status 0 even when it fails
// (a missing model, an unreadable input), so every run is checked before it starts and judged by
// the files it leaves, not only by its status.
#include "engine/UpscaleCore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "engine/EngineChoice.h"
#include "engine/EngineCompat.h"
#include "engine/FFmpegCommands.h"

namespace {

// The files the engine loads for a model name. The anime video model is stored per model scale;
// the engine always runs it at its default model scale of 4, whatever the output scale.
QStringList modelFiles(const QString& modelsFolder, const QString& model)
{
    QString base = modelsFolder + QLatin1Char('/') + model;
    if (model == QLatin1String("realesr-animevideov3"))
        base += QStringLiteral("-x4");
    return {base + QStringLiteral(".param"), base + QStringLiteral(".bin")};
}

void requireModelFiles(const QString& model)
{
    for (const QString& file : modelFiles(UpscaleCore::realesrganModels(), model)) {
        if (!QFileInfo(file).isFile())
            throw UpscaleCore::err(QStringLiteral("The AI model file is missing: ") + file +
                                   QStringLiteral(". Reinstall Korvane to restore it."));
    }
}

// The engine that runs the AI passes on this machine, with the environment it needs.
ProcessResult runEngine(UpscaleCore& core, const QStringList& arguments,
                        const std::function<void()>& tick = {})
{
    const EngineKind kind = EngineChoice::current();
    return core.runTool(EngineChoice::binary(kind), arguments, tick, std::chrono::milliseconds(400),
                        kind == EngineKind::Vulkan ? EngineCompat::realesrganEnvironment()
                                                   : QMap<QString, QString>());
}

EngineError realesrganFailure(const ProcessResult& result)
{
    const QString text = QString::fromUtf8(result.standardError);
    return UpscaleCore::err(QStringLiteral("Real-ESRGAN failed (code ") +
                            QString::number(result.exitStatus) + QStringLiteral("): ") +
                            text.right(200));
}

int countPngs(const QString& folder)
{
    return int(QDir(folder).entryList({QStringLiteral("*.png")}, QDir::Files).size());
}

} // namespace

void UpscaleCore::runRealESRGANImage(const QString& input, const QString& output,
                                     const QString& model, int scale, const QString& format)
{
    requireModelFiles(model);
    const QStringList arguments =
        FFmpegCommands::realesrganImage(input, output, model, scale, realesrganModels(), format);
    const ProcessResult result = runEngine(*this, arguments);
    if (isCancelled()) {
        QFile::remove(output);
        throw EngineError::cancelled();
    }
    // A status of 0 with no output file is a failure the engine did not admit.
    if (result.exitStatus != 0 || !QFileInfo(output).isFile()) {
        QFile::remove(output);
        throw realesrganFailure(result);
    }
}

void UpscaleCore::runRealESRGANFolder(const QString& inFolder, const QString& outFolder,
                                      const ModelChoice& choice, const std::function<void()>& tick)
{
    requireModelFiles(choice.model);
    const QStringList arguments =
        FFmpegCommands::realesrganFolder(inFolder, outFolder, choice, realesrganModels());
    const ProcessResult result = runEngine(*this, arguments, tick);
    if (isCancelled())
        throw EngineError::cancelled();
    if (result.exitStatus != 0 || countPngs(outFolder) < countPngs(inFolder))
        throw realesrganFailure(result);
}
