#include "engine/SystemFacts.h"

#include <atomic>
#include <mutex>

#include <unistd.h>

#include <QFile>

#include "engine/EngineCompat.h"

namespace SystemFacts {

namespace {
std::mutex g_mutex;
std::optional<quint64> g_memoryOverride;
std::optional<AiDevice> g_deviceOverride;
QString g_cpuInfoPath;
} // namespace

quint64 physicalMemoryBytes()
{
    {
        std::lock_guard lock(g_mutex);
        if (g_memoryOverride)
            return *g_memoryOverride;
    }
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return quint64(pages) * quint64(pageSize);
}

void setPhysicalMemoryOverride(std::optional<quint64> bytes)
{
    std::lock_guard lock(g_mutex);
    g_memoryOverride = bytes;
}

QString processorBrand()
{
    QString path;
    {
        std::lock_guard lock(g_mutex);
        path = g_cpuInfoPath.isEmpty() ? QStringLiteral("/proc/cpuinfo") : g_cpuInfoPath;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    const QByteArray contents = file.readAll();
    for (const QByteArray& line : contents.split('\n')) {
        const int colon = line.indexOf(':');
        if (colon < 0 || line.left(colon).trimmed() != "model name")
            continue;
        return QString::fromUtf8(line.mid(colon + 1)).simplified();
    }
    return {};
}

void setCpuInfoPath(const QString& path)
{
    std::lock_guard lock(g_mutex);
    g_cpuInfoPath = path;
}

AiDevice aiDevice()
{
    {
        std::lock_guard lock(g_mutex);
        if (g_deviceOverride)
            return *g_deviceOverride;
    }
    const std::optional<VkPhysicalDeviceType> type = EngineCompat::deviceType();
    const bool gpu = type == VK_PHYSICAL_DEVICE_TYPE_DISCRETE_GPU ||
                     type == VK_PHYSICAL_DEVICE_TYPE_INTEGRATED_GPU ||
                     type == VK_PHYSICAL_DEVICE_TYPE_VIRTUAL_GPU;
    return gpu ? AiDevice::Gpu : AiDevice::Processor;
}

void setAiDeviceOverride(std::optional<AiDevice> device)
{
    std::lock_guard lock(g_mutex);
    g_deviceOverride = device;
}

} // namespace SystemFacts
