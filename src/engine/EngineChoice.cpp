#include "engine/EngineChoice.h"

#include <QFileInfo>

#include "engine/EngineCompat.h"
#include "engine/EngineLog.h"
#include "engine/UpscaleCore.h"

namespace EngineChoice {

namespace {

constexpr char kSettingVariable[] = "KORVANE_ENGINE";

} // namespace

EngineKind pick(std::optional<VkPhysicalDeviceType> deviceType, const QString& setting)
{
    if (setting == QLatin1String("cpu"))
        return EngineKind::Cpu;
    if (setting == QLatin1String("vulkan"))
        return EngineKind::Vulkan;
    // Without a GPU the Vulkan engine runs through a software driver at a fraction of the speed.
    if (!deviceType || *deviceType == VK_PHYSICAL_DEVICE_TYPE_CPU)
        return EngineKind::Cpu;
    return EngineKind::Vulkan;
}

EngineKind current()
{
    const QString setting = qEnvironmentVariable(kSettingVariable);
    const bool forced = setting == QLatin1String("cpu") || setting == QLatin1String("vulkan");
    const EngineKind kind = pick(forced ? std::nullopt : EngineCompat::deviceType(), setting);
    if (kind == EngineKind::Cpu && !forced && !QFileInfo(binary(EngineKind::Cpu)).isFile()) {
        static const bool logged = [] {
            EngineLog::line(QStringLiteral("Korvane: the processor engine is not installed; the "
                                           "AI runs on the Vulkan engine"));
            return true;
        }();
        Q_UNUSED(logged);
        return EngineKind::Vulkan;
    }
    return kind;
}

QString binary(EngineKind kind)
{
    return UpscaleCore::toolsFolder() +
           (kind == EngineKind::Cpu ? QStringLiteral("/realesrgan/korvane-engine")
                                    : QStringLiteral("/realesrgan/realesrgan-ncnn-vulkan"));
}

} // namespace EngineChoice
