#pragma once

#include <optional>

#include <QString>

// Facts about the machine, each with a seam that tests can set.
// Threading: safe from any thread; the overrides are meant to be set before work starts.
namespace SystemFacts {

// Physical memory in bytes (pages × page size), or the override when one is set.
quint64 physicalMemoryBytes();
void setPhysicalMemoryOverride(std::optional<quint64> bytes);

// The processor's brand name from the first "model name" line of the cpuinfo file; empty when
// it cannot be read.
QString processorBrand();
// The file read by processorBrand(); tests point it elsewhere. Empty restores /proc/cpuinfo.
void setCpuInfoPath(const QString& path);

// Where the AI engine does its work: on a GPU, or on the processor (no GPU with a Vulkan driver,
// so Mesa's software driver or the CPU engine runs it, many times slower).
enum class AiDevice { Gpu, Processor };
// The first Vulkan device's type decides; probed once per run, so the first call may block for a
// moment (call it on a worker thread). The override answers instead when one is set.
AiDevice aiDevice();
void setAiDeviceOverride(std::optional<AiDevice> device);

} // namespace SystemFacts
