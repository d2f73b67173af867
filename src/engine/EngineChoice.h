#pragma once

#include <optional>

#include <QString>

#include <vulkan/vulkan_core.h>

// Which Real-ESRGAN engine runs the AI passes: the Vulkan engine on a real GPU, or Korvane's own
// engine for the processor (korvane-engine) where the only Vulkan device is a CPU (or there is
// none). KORVANE_ENGINE=vulkan or =cpu forces one.
//
// Threading: current() is called on worker threads; the device is probed once per run of the
// application. pick() is pure.
enum class EngineKind { Vulkan, Cpu };

namespace EngineChoice {

// The engine for the type of Vulkan device 0 (nullopt: none) and the KORVANE_ENGINE value
// ("vulkan", "cpu", anything else: automatic).
EngineKind pick(std::optional<VkPhysicalDeviceType> deviceType, const QString& setting);

// The engine for this run: pick() for this machine, except that an automatic choice of the
// processor engine falls back to the Vulkan engine when an older installation lacks it.
EngineKind current();

// The executable of an engine in the installed tools.
QString binary(EngineKind kind);

} // namespace EngineChoice
