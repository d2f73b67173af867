// A Vulkan instance layer that hides 16-bit and 8-bit storage and float16/int8 shader arithmetic
// from the application above it. Software Vulkan drivers report these capabilities, but the
// engine's half-precision shaders produce wrong colours on them; without them the engine runs its
// 32-bit float shaders, which are correct. Everything else passes through unchanged.
//
// Hidden: the device extensions VK_KHR_16bit_storage, VK_KHR_8bit_storage and
// VK_KHR_shader_float16_int8, and the matching members of the feature structures returned by
// vkGetPhysicalDeviceFeatures2 (and its KHR alias). A device creation that still asks for any of
// them has the request removed before it reaches the driver.
//
// Written against the loader-layer interface, version 2.
#include <vulkan/vk_layer.h>
#include <vulkan/vulkan.h>

#include <cstring>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#define KORVANE_LAYER_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr const char* kLayerName = KORVANE_VKLAYER_NAME;

constexpr const char* kHiddenExtensions[] = {
    VK_KHR_16BIT_STORAGE_EXTENSION_NAME,
    VK_KHR_8BIT_STORAGE_EXTENSION_NAME,
    VK_KHR_SHADER_FLOAT16_INT8_EXTENSION_NAME,
};

bool isHiddenExtension(const char* name)
{
    for (const char* hidden : kHiddenExtensions) {
        if (std::strcmp(name, hidden) == 0)
            return true;
    }
    return false;
}

// ---- Hidden feature members ----------------------------------------------------------------

// The hidden members, by the name they share in the per-extension and the per-version feature
// structures. Each clear() records whether the member was set.
template <typename Features, typename Clear> void clear16BitStorage(Features* f, Clear& clear)
{
    clear(f->storageBuffer16BitAccess);
    clear(f->uniformAndStorageBuffer16BitAccess);
    clear(f->storagePushConstant16);
    clear(f->storageInputOutput16);
}

template <typename Features, typename Clear> void clear8BitStorage(Features* f, Clear& clear)
{
    clear(f->storageBuffer8BitAccess);
    clear(f->uniformAndStorageBuffer8BitAccess);
    clear(f->storagePushConstant8);
}

template <typename Features, typename Clear> void clearFloat16Int8(Features* f, Clear& clear)
{
    clear(f->shaderFloat16);
    clear(f->shaderInt8);
}

// Clears the hidden members of one feature structure; returns whether any of them was set.
// Structures of other types are left alone.
bool clearHiddenMembers(VkBaseOutStructure* structure)
{
    bool wasSet = false;
    auto clear = [&wasSet](VkBool32& member) {
        wasSet = wasSet || member != VK_FALSE;
        member = VK_FALSE;
    };
    switch (structure->sType) {
    case VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_16BIT_STORAGE_FEATURES:
        clear16BitStorage(reinterpret_cast<VkPhysicalDevice16BitStorageFeatures*>(structure),
                          clear);
        break;
    case VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_8BIT_STORAGE_FEATURES:
        clear8BitStorage(reinterpret_cast<VkPhysicalDevice8BitStorageFeatures*>(structure), clear);
        break;
    case VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_SHADER_FLOAT16_INT8_FEATURES:
        clearFloat16Int8(reinterpret_cast<VkPhysicalDeviceShaderFloat16Int8Features*>(structure),
                         clear);
        break;
    case VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_1_FEATURES:
        clear16BitStorage(reinterpret_cast<VkPhysicalDeviceVulkan11Features*>(structure), clear);
        break;
    case VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_2_FEATURES: {
        auto* f = reinterpret_cast<VkPhysicalDeviceVulkan12Features*>(structure);
        clear8BitStorage(f, clear);
        clearFloat16Int8(f, clear);
        break;
    }
    default:
        break;
    }
    return wasSet;
}

// Size of a structure type that carries hidden members; 0 for every other type.
size_t carrierSize(VkStructureType type)
{
    switch (type) {
    case VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_16BIT_STORAGE_FEATURES:
        return sizeof(VkPhysicalDevice16BitStorageFeatures);
    case VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_8BIT_STORAGE_FEATURES:
        return sizeof(VkPhysicalDevice8BitStorageFeatures);
    case VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_SHADER_FLOAT16_INT8_FEATURES:
        return sizeof(VkPhysicalDeviceShaderFloat16Int8Features);
    case VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_1_FEATURES:
        return sizeof(VkPhysicalDeviceVulkan11Features);
    case VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_2_FEATURES:
        return sizeof(VkPhysicalDeviceVulkan12Features);
    default:
        return 0;
    }
}

// Removes hidden feature requests from a device creation chain for the duration of the call and
// puts the caller's values back afterwards. The chain belongs to the caller and may hold
// structures this layer does not know, so it is edited in place rather than rebuilt; structures
// without a hidden request are not touched at all.
class FeatureRequestEdit final {
public:
    explicit FeatureRequestEdit(const void* chain)
    {
        for (auto* s = static_cast<VkBaseOutStructure*>(const_cast<void*>(chain)); s;
             s = s->pNext) {
            const size_t size = carrierSize(s->sType);
            if (size == 0)
                continue;
            std::vector<unsigned char> original(size);
            std::memcpy(original.data(), s, size);
            if (clearHiddenMembers(s))
                m_saved.emplace_back(s, std::move(original));
        }
    }
    ~FeatureRequestEdit()
    {
        for (auto& [structure, original] : m_saved)
            std::memcpy(structure, original.data(), original.size());
    }
    FeatureRequestEdit(const FeatureRequestEdit&) = delete;
    FeatureRequestEdit& operator=(const FeatureRequestEdit&) = delete;

private:
    std::vector<std::pair<VkBaseOutStructure*, std::vector<unsigned char>>> m_saved;
};

// ---- Dispatch ------------------------------------------------------------------------------

// Dispatchable handles start with the loader's dispatch table pointer; a physical device shares
// it with its instance.
template <typename Handle> void* dispatchKey(Handle handle)
{
    return *reinterpret_cast<void**>(handle);
}

struct InstanceData {
    VkInstance instance = VK_NULL_HANDLE;
    PFN_vkGetInstanceProcAddr nextGetInstanceProcAddr = nullptr;
    PFN_GetPhysicalDeviceProcAddr nextGetPhysicalDeviceProcAddr = nullptr;
    PFN_vkDestroyInstance destroyInstance = nullptr;
    PFN_vkGetPhysicalDeviceFeatures2 getFeatures2 = nullptr;
    PFN_vkGetPhysicalDeviceFeatures2 getFeatures2Khr = nullptr;
    PFN_vkEnumerateDeviceExtensionProperties enumerateDeviceExtensions = nullptr;
};

struct DeviceData {
    PFN_vkGetDeviceProcAddr nextGetDeviceProcAddr = nullptr;
    PFN_vkDestroyDevice destroyDevice = nullptr;
};

std::mutex g_mutex;
std::unordered_map<void*, InstanceData> g_instances;
std::unordered_map<void*, DeviceData> g_devices;

template <typename Handle> InstanceData instanceData(Handle handle)
{
    std::lock_guard lock(g_mutex);
    const auto it = g_instances.find(dispatchKey(handle));
    return it == g_instances.end() ? InstanceData{} : it->second;
}

DeviceData deviceData(VkDevice device)
{
    std::lock_guard lock(g_mutex);
    const auto it = g_devices.find(dispatchKey(device));
    return it == g_devices.end() ? DeviceData{} : it->second;
}

// Removes and returns the entry of a destroyed object; an empty one when it is unknown.
template <typename Data> Data takeEntry(std::unordered_map<void*, Data>& map, void* key)
{
    std::lock_guard lock(g_mutex);
    const auto it = map.find(key);
    if (it == map.end())
        return Data{};
    Data data = it->second;
    map.erase(it);
    return data;
}

// The loader's link structure of a creation chain (VkLayerInstanceCreateInfo or
// VkLayerDeviceCreateInfo). The loader owns it and expects each layer to advance it.
template <typename LinkInfo> LinkInfo* findLinkInfo(const void* chain, VkStructureType type)
{
    for (auto* s = static_cast<const VkBaseInStructure*>(chain); s; s = s->pNext) {
        if (s->sType != type)
            continue;
        auto* info = reinterpret_cast<LinkInfo*>(const_cast<VkBaseInStructure*>(s));
        if (info->function == VK_LAYER_LINK_INFO)
            return info;
    }
    return nullptr;
}

template <typename Function>
Function load(PFN_vkGetInstanceProcAddr gipa, VkInstance instance, const char* name)
{
    return reinterpret_cast<Function>(gipa(instance, name));
}

// ---- Intercepted functions -----------------------------------------------------------------

VKAPI_ATTR VkResult VKAPI_CALL layerCreateInstance(const VkInstanceCreateInfo* createInfo,
                                                   const VkAllocationCallbacks* allocator,
                                                   VkInstance* instance)
{
    auto* link = findLinkInfo<VkLayerInstanceCreateInfo>(
        createInfo->pNext, VK_STRUCTURE_TYPE_LOADER_INSTANCE_CREATE_INFO);
    if (!link || !link->u.pLayerInfo)
        return VK_ERROR_INITIALIZATION_FAILED;
    const PFN_vkGetInstanceProcAddr nextGipa = link->u.pLayerInfo->pfnNextGetInstanceProcAddr;
    const PFN_GetPhysicalDeviceProcAddr nextGpdpa =
        link->u.pLayerInfo->pfnNextGetPhysicalDeviceProcAddr;
    const auto nextCreate =
        load<PFN_vkCreateInstance>(nextGipa, VK_NULL_HANDLE, "vkCreateInstance");
    if (!nextCreate)
        return VK_ERROR_INITIALIZATION_FAILED;
    link->u.pLayerInfo = link->u.pLayerInfo->pNext;

    const VkResult result = nextCreate(createInfo, allocator, instance);
    if (result != VK_SUCCESS)
        return result;

    InstanceData data;
    data.instance = *instance;
    data.nextGetInstanceProcAddr = nextGipa;
    data.nextGetPhysicalDeviceProcAddr = nextGpdpa;
    data.destroyInstance = load<PFN_vkDestroyInstance>(nextGipa, *instance, "vkDestroyInstance");
    data.getFeatures2 =
        load<PFN_vkGetPhysicalDeviceFeatures2>(nextGipa, *instance, "vkGetPhysicalDeviceFeatures2");
    data.getFeatures2Khr = load<PFN_vkGetPhysicalDeviceFeatures2>(
        nextGipa, *instance, "vkGetPhysicalDeviceFeatures2KHR");
    data.enumerateDeviceExtensions = load<PFN_vkEnumerateDeviceExtensionProperties>(
        nextGipa, *instance, "vkEnumerateDeviceExtensionProperties");
    std::lock_guard lock(g_mutex);
    g_instances[dispatchKey(*instance)] = data;
    return VK_SUCCESS;
}

VKAPI_ATTR void VKAPI_CALL layerDestroyInstance(VkInstance instance,
                                                const VkAllocationCallbacks* allocator)
{
    if (!instance)
        return;
    const InstanceData data = takeEntry(g_instances, dispatchKey(instance));
    if (data.destroyInstance)
        data.destroyInstance(instance, allocator);
}

// Both names reach the same driver function; the one the application called is preferred.
void getFeaturesHidden(VkPhysicalDevice physicalDevice, VkPhysicalDeviceFeatures2* features,
                       bool khrAlias)
{
    const InstanceData data = instanceData(physicalDevice);
    auto next = khrAlias ? data.getFeatures2Khr : data.getFeatures2;
    if (!next)
        next = khrAlias ? data.getFeatures2 : data.getFeatures2Khr;
    if (!next)
        return;
    next(physicalDevice, features);
    for (auto* s = reinterpret_cast<VkBaseOutStructure*>(features); s; s = s->pNext)
        clearHiddenMembers(s);
}

VKAPI_ATTR void VKAPI_CALL layerGetPhysicalDeviceFeatures2(VkPhysicalDevice physicalDevice,
                                                           VkPhysicalDeviceFeatures2* features)
{
    getFeaturesHidden(physicalDevice, features, false);
}

VKAPI_ATTR void VKAPI_CALL layerGetPhysicalDeviceFeatures2Khr(VkPhysicalDevice physicalDevice,
                                                              VkPhysicalDeviceFeatures2* features)
{
    getFeaturesHidden(physicalDevice, features, true);
}

VKAPI_ATTR VkResult VKAPI_CALL
layerEnumerateDeviceExtensionProperties(VkPhysicalDevice physicalDevice, const char* layerName,
                                        uint32_t* count, VkExtensionProperties* properties)
{
    // This layer adds no extensions of its own.
    if (layerName && std::strcmp(layerName, kLayerName) == 0) {
        *count = 0;
        return VK_SUCCESS;
    }
    const InstanceData data = instanceData(physicalDevice);
    if (!data.enumerateDeviceExtensions)
        return VK_ERROR_INITIALIZATION_FAILED;
    if (layerName)
        return data.enumerateDeviceExtensions(physicalDevice, layerName, count, properties);

    std::vector<VkExtensionProperties> all;
    VkResult result = VK_INCOMPLETE;
    while (result == VK_INCOMPLETE) {
        uint32_t total = 0;
        result = data.enumerateDeviceExtensions(physicalDevice, nullptr, &total, nullptr);
        if (result != VK_SUCCESS)
            return result;
        all.resize(total);
        result = data.enumerateDeviceExtensions(physicalDevice, nullptr, &total, all.data());
        if (result < 0)
            return result;
        all.resize(total);
    }
    std::erase_if(
        all, [](const VkExtensionProperties& e) { return isHiddenExtension(e.extensionName); });

    const auto available = static_cast<uint32_t>(all.size());
    if (!properties) {
        *count = available;
        return VK_SUCCESS;
    }
    const uint32_t written = *count < available ? *count : available;
    std::memcpy(properties, all.data(), written * sizeof(VkExtensionProperties));
    *count = written;
    return written < available ? VK_INCOMPLETE : VK_SUCCESS;
}

VKAPI_ATTR VkResult VKAPI_CALL layerCreateDevice(VkPhysicalDevice physicalDevice,
                                                 const VkDeviceCreateInfo* createInfo,
                                                 const VkAllocationCallbacks* allocator,
                                                 VkDevice* device)
{
    auto* link = findLinkInfo<VkLayerDeviceCreateInfo>(createInfo->pNext,
                                                       VK_STRUCTURE_TYPE_LOADER_DEVICE_CREATE_INFO);
    const InstanceData instance = instanceData(physicalDevice);
    if (!link || !link->u.pLayerInfo || !instance.instance)
        return VK_ERROR_INITIALIZATION_FAILED;
    const PFN_vkGetInstanceProcAddr nextGipa = link->u.pLayerInfo->pfnNextGetInstanceProcAddr;
    const PFN_vkGetDeviceProcAddr nextGdpa = link->u.pLayerInfo->pfnNextGetDeviceProcAddr;
    const auto nextCreate = load<PFN_vkCreateDevice>(nextGipa, instance.instance, "vkCreateDevice");
    if (!nextCreate)
        return VK_ERROR_INITIALIZATION_FAILED;
    link->u.pLayerInfo = link->u.pLayerInfo->pNext;

    std::vector<const char*> extensions;
    for (uint32_t i = 0; i < createInfo->enabledExtensionCount; ++i) {
        if (!isHiddenExtension(createInfo->ppEnabledExtensionNames[i]))
            extensions.push_back(createInfo->ppEnabledExtensionNames[i]);
    }
    VkDeviceCreateInfo filtered = *createInfo;
    filtered.enabledExtensionCount = static_cast<uint32_t>(extensions.size());
    filtered.ppEnabledExtensionNames = extensions.data();

    VkResult result;
    {
        const FeatureRequestEdit edit(createInfo->pNext);
        result = nextCreate(physicalDevice, &filtered, allocator, device);
    }
    if (result != VK_SUCCESS)
        return result;

    DeviceData data;
    data.nextGetDeviceProcAddr = nextGdpa;
    data.destroyDevice =
        reinterpret_cast<PFN_vkDestroyDevice>(nextGdpa(*device, "vkDestroyDevice"));
    std::lock_guard lock(g_mutex);
    g_devices[dispatchKey(*device)] = data;
    return VK_SUCCESS;
}

VKAPI_ATTR void VKAPI_CALL layerDestroyDevice(VkDevice device,
                                              const VkAllocationCallbacks* allocator)
{
    if (!device)
        return;
    const DeviceData data = takeEntry(g_devices, dispatchKey(device));
    if (data.destroyDevice)
        data.destroyDevice(device, allocator);
}

// ---- Proc-address functions ----------------------------------------------------------------

PFN_vkVoidFunction VKAPI_CALL layerGetInstanceProcAddr(VkInstance instance, const char* name);
PFN_vkVoidFunction VKAPI_CALL layerGetDeviceProcAddr(VkDevice device, const char* name);

template <typename Function> PFN_vkVoidFunction asVoid(Function function)
{
    return reinterpret_cast<PFN_vkVoidFunction>(function);
}

// The physical-device functions this layer answers itself.
PFN_vkVoidFunction physicalDeviceIntercept(const char* name)
{
    if (std::strcmp(name, "vkGetPhysicalDeviceFeatures2") == 0)
        return asVoid(&layerGetPhysicalDeviceFeatures2);
    if (std::strcmp(name, "vkGetPhysicalDeviceFeatures2KHR") == 0)
        return asVoid(&layerGetPhysicalDeviceFeatures2Khr);
    if (std::strcmp(name, "vkEnumerateDeviceExtensionProperties") == 0)
        return asVoid(&layerEnumerateDeviceExtensionProperties);
    return nullptr;
}

PFN_vkVoidFunction deviceIntercept(const char* name)
{
    if (std::strcmp(name, "vkGetDeviceProcAddr") == 0)
        return asVoid(&layerGetDeviceProcAddr);
    if (std::strcmp(name, "vkDestroyDevice") == 0)
        return asVoid(&layerDestroyDevice);
    return nullptr;
}

PFN_vkVoidFunction VKAPI_CALL layerGetInstanceProcAddr(VkInstance instance, const char* name)
{
    if (std::strcmp(name, "vkGetInstanceProcAddr") == 0)
        return asVoid(&layerGetInstanceProcAddr);
    if (std::strcmp(name, "vkCreateInstance") == 0)
        return asVoid(&layerCreateInstance);
    if (!instance)
        return nullptr;
    const InstanceData data = instanceData(instance);
    if (!data.nextGetInstanceProcAddr)
        return nullptr;
    if (std::strcmp(name, "vkDestroyInstance") == 0)
        return asVoid(&layerDestroyInstance);
    if (std::strcmp(name, "vkCreateDevice") == 0)
        return asVoid(&layerCreateDevice);
    if (const PFN_vkVoidFunction own = deviceIntercept(name))
        return own;
    const PFN_vkVoidFunction next = data.nextGetInstanceProcAddr(instance, name);
    // Functions the instance does not offer (an extension that is not enabled) stay unoffered.
    if (next) {
        if (const PFN_vkVoidFunction own = physicalDeviceIntercept(name))
            return own;
    }
    return next;
}

PFN_vkVoidFunction VKAPI_CALL layerGetDeviceProcAddr(VkDevice device, const char* name)
{
    if (const PFN_vkVoidFunction own = deviceIntercept(name))
        return own;
    const DeviceData data = deviceData(device);
    return data.nextGetDeviceProcAddr ? data.nextGetDeviceProcAddr(device, name) : nullptr;
}

// Physical-device functions the loader does not know by name reach layers here.
PFN_vkVoidFunction VKAPI_CALL layerGetPhysicalDeviceProcAddr(VkInstance instance, const char* name)
{
    if (const PFN_vkVoidFunction own = physicalDeviceIntercept(name))
        return own;
    if (!instance)
        return nullptr;
    const InstanceData data = instanceData(instance);
    return data.nextGetPhysicalDeviceProcAddr ? data.nextGetPhysicalDeviceProcAddr(instance, name)
                                              : nullptr;
}

} // namespace

KORVANE_LAYER_EXPORT VKAPI_ATTR VkResult VKAPI_CALL
vkNegotiateLoaderLayerInterfaceVersion(VkNegotiateLayerInterface* versionStruct)
{
    if (!versionStruct || versionStruct->sType != LAYER_NEGOTIATE_INTERFACE_STRUCT ||
        versionStruct->loaderLayerInterfaceVersion < 2)
        return VK_ERROR_INITIALIZATION_FAILED;
    versionStruct->loaderLayerInterfaceVersion = 2;
    versionStruct->pfnGetInstanceProcAddr = &layerGetInstanceProcAddr;
    versionStruct->pfnGetDeviceProcAddr = &layerGetDeviceProcAddr;
    versionStruct->pfnGetPhysicalDeviceProcAddr = &layerGetPhysicalDeviceProcAddr;
    return VK_SUCCESS;
}
