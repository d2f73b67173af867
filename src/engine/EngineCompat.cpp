#include "engine/EngineCompat.h"

#include <vector>

#include <QFileInfo>
#include <QStringList>

#include <vulkan/vulkan.h>

#include "engine/EngineLog.h"
#include "engine/Resources.h"

namespace EngineCompat {

namespace {

constexpr char kSettingVariable[] = "KORVANE_ENGINE_FP32";

struct DeviceFacts {
    VkPhysicalDeviceType type = VK_PHYSICAL_DEVICE_TYPE_OTHER;
    QString name;
};

// The device the engine's `-g 0` selects: the first one a plain instance enumerates.
std::optional<DeviceFacts> firstVulkanDevice()
{
    VkApplicationInfo application{};
    application.sType = VK_STRUCTURE_TYPE_APPLICATION_INFO;
    application.pApplicationName = "Korvane";
    application.apiVersion = VK_API_VERSION_1_0;
    VkInstanceCreateInfo createInfo{};
    createInfo.sType = VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO;
    createInfo.pApplicationInfo = &application;

    VkInstance instance = VK_NULL_HANDLE;
    if (vkCreateInstance(&createInfo, nullptr, &instance) != VK_SUCCESS)
        return std::nullopt;
    std::optional<DeviceFacts> facts;
    uint32_t count = 0;
    if (vkEnumeratePhysicalDevices(instance, &count, nullptr) == VK_SUCCESS && count > 0) {
        std::vector<VkPhysicalDevice> devices(count);
        const VkResult result = vkEnumeratePhysicalDevices(instance, &count, devices.data());
        if ((result == VK_SUCCESS || result == VK_INCOMPLETE) && count > 0) {
            VkPhysicalDeviceProperties properties{};
            vkGetPhysicalDeviceProperties(devices.front(), &properties);
            facts = DeviceFacts{properties.deviceType, QString::fromUtf8(properties.deviceName)};
        }
    }
    vkDestroyInstance(instance, nullptr);
    return facts;
}

// Puts entry first in a colon-separated list, unless the list already holds it.
QString prepended(const QString& entry, const QString& list)
{
    if (list.isEmpty())
        return entry;
    if (list.split(QLatin1Char(':')).contains(entry))
        return list;
    return entry + QLatin1Char(':') + list;
}

QMap<QString, QString> decide()
{
    const QString setting = qEnvironmentVariable(kSettingVariable);
    const bool forced = setting == QLatin1String("1") || setting == QLatin1String("0");
    std::optional<DeviceFacts> device;
    if (!forced)
        device = firstVulkanDevice();
    const bool useLayer =
        useFp32Layer(device ? std::optional(device->type) : std::nullopt, setting);

    QString reason;
    if (forced)
        reason = QLatin1String(kSettingVariable) + QLatin1Char('=') + setting;
    else if (device)
        reason = (device->type == VK_PHYSICAL_DEVICE_TYPE_CPU ? QStringLiteral("CPU device ")
                                                              : QStringLiteral("device ")) +
                 device->name;
    else
        reason = QStringLiteral("no Vulkan device found");
    if (!setting.isEmpty() && !forced)
        reason += QStringLiteral("; ") + QLatin1String(kSettingVariable) + QStringLiteral("=") +
                  setting + QStringLiteral(" ignored (use 1 or 0)");

    if (!useLayer) {
        EngineLog::line(
            QStringLiteral("Korvane: the AI engine runs without the compatibility layer (") +
            reason + QLatin1Char(')'));
        return {};
    }
    const QString folder = Resources::folder() + QStringLiteral("/vklayer");
    const QString manifest = folder + QStringLiteral("/" KORVANE_VKLAYER_MANIFEST);
    if (!QFileInfo(manifest).isFile()) {
        EngineLog::line(QStringLiteral("Korvane: the AI engine needs 32-bit floats (") + reason +
                        QStringLiteral("), but the compatibility layer is missing: ") + manifest);
        return {};
    }
    EngineLog::line(QStringLiteral("Korvane: the AI engine uses 32-bit floats through the "
                                   "compatibility layer (") +
                    reason + QLatin1Char(')'));
    const QString layerName = QStringLiteral(KORVANE_VKLAYER_NAME);
    return {{QStringLiteral("VK_ADD_LAYER_PATH"),
             prepended(folder, qEnvironmentVariable("VK_ADD_LAYER_PATH"))},
            {QStringLiteral("VK_INSTANCE_LAYERS"),
             prepended(layerName, qEnvironmentVariable("VK_INSTANCE_LAYERS"))}};
}

} // namespace

bool useFp32Layer(std::optional<VkPhysicalDeviceType> deviceType, const QString& setting)
{
    if (setting == QLatin1String("1"))
        return true;
    if (setting == QLatin1String("0"))
        return false;
    return deviceType == VK_PHYSICAL_DEVICE_TYPE_CPU;
}

std::optional<VkPhysicalDeviceType> firstDeviceType()
{
    static const std::optional<DeviceFacts> device = firstVulkanDevice();
    return device ? std::optional(device->type) : std::nullopt;
}

QMap<QString, QString> realesrganEnvironment()
{
    // Decided on the first run of the engine and kept for the rest of the application's run.
    static const QMap<QString, QString> environment = decide();
    return environment;
}

} // namespace EngineCompat
