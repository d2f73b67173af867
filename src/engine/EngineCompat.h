#pragma once

#include <optional>

#include <QMap>
#include <QString>

#include <vulkan/vulkan_core.h>

// Environment that every Real-ESRGAN run gets on top of the application's own. When the Vulkan
// device the engine uses is a CPU device (Mesa's software driver), the engine's half-precision
// shaders give wrong colours; the environment then loads the application's compatibility layer,
// which hides 16-bit storage and float16 support so the engine computes in 32-bit floats.
// KORVANE_ENGINE_FP32=1 or =0 forces the layer on or off.
//
// Threading: realesrganEnvironment() is called on worker threads only; the first call probes the
// Vulkan device (once per run of the application) and later calls, from any worker thread, return
// the cached answer. useFp32Layer() is pure and callable from any thread.
namespace EngineCompat {

QMap<QString, QString> realesrganEnvironment();

// The type of the Vulkan device that `-g 0` selects, nullopt when there is none. Probed once per
// run of the application; callable from any worker thread.
std::optional<VkPhysicalDeviceType> firstDeviceType();

// Whether the engine runs with the compatibility layer, given the type of the device that
// `-g 0` selects (nullopt: no Vulkan device was found) and the value of KORVANE_ENGINE_FP32
// ("1": on, "0": off, anything else: on exactly for a CPU device).
bool useFp32Layer(std::optional<VkPhysicalDeviceType> deviceType, const QString& setting);

} // namespace EngineCompat
