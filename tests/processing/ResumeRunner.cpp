// Runs one recorded video job to its end the way the application's queue does, in a process of
// its own, so the resume test can kill it part-way. Usage: resume-runner JOB-FOLDER
#include <cstdio>

#include <QCoreApplication>

#include "engine/JobJournal.h"
#include "engine/StopToken.h"
#include "engine/UpscaleCore.h"
#include "engine/WorkFolder.h"

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc != 2)
        return 2;
    const JobJournal::Decoded record = JobJournal::read(QString::fromLocal8Bit(argv[1]));
    if (!record.manifest)
        return 2;
    UpscaleCore::shared().setFreeDiskBytesProvider([] { return std::optional<qint64>(1LL << 40); });
    const StopToken::Scope operation(std::make_shared<StopToken>());
    try {
        WorkFolder folder(WorkFolder::Job{record.manifest->id.toString(QUuid::WithoutBraces)});
        const QString result = UpscaleCore::shared().runAI(
            record.manifest->source, record.manifest->options,
            [](double fraction, const QString& status, const QString&) {
                std::printf("%.3f %s\n", fraction, qPrintable(status));
                std::fflush(stdout);
            },
            nullptr, &*record.manifest, &folder);
        std::printf("%s\n", qPrintable(result));
        return 0;
    } catch (const EngineError& error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message()));
        return 1;
    }
}
