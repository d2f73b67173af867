// The compatibility layer on its own: a Vulkan instance with the layer and one without it, on the
// same device, must report the same things apart from the hidden extensions and feature members.
#include <cstddef>
#include <cstring>
#include <vector>

#include <QList>
#include <QSet>
#include <QString>

#include <vulkan/vulkan.h>

#include "support/TestSupport.h"

namespace {

constexpr const char* kLayer = "VK_LAYER_KORVANE_fp32";
const QSet<QString> kHiddenExtensions{QStringLiteral("VK_KHR_16bit_storage"),
                                      QStringLiteral("VK_KHR_8bit_storage"),
                                      QStringLiteral("VK_KHR_shader_float16_int8")};

// One instance and its first physical device; destroyed with the object.
class Instance final {
public:
    Instance(bool withLayer, uint32_t apiVersion)
    {
        VkApplicationInfo application{};
        application.sType = VK_STRUCTURE_TYPE_APPLICATION_INFO;
        application.apiVersion = apiVersion;
        // A 1.0 instance reaches the feature query through the KHR alias.
        const char* extension = VK_KHR_GET_PHYSICAL_DEVICE_PROPERTIES_2_EXTENSION_NAME;
        VkInstanceCreateInfo info{};
        info.sType = VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO;
        info.pApplicationInfo = &application;
        info.enabledLayerCount = withLayer ? 1 : 0;
        info.ppEnabledLayerNames = &kLayer;
        info.enabledExtensionCount = apiVersion == VK_API_VERSION_1_0 ? 1 : 0;
        info.ppEnabledExtensionNames = &extension;
        result = vkCreateInstance(&info, nullptr, &instance);
        if (result != VK_SUCCESS)
            return;
        uint32_t count = 1;
        const VkResult enumerated = vkEnumeratePhysicalDevices(instance, &count, &physicalDevice);
        if (enumerated != VK_SUCCESS && enumerated != VK_INCOMPLETE)
            physicalDevice = VK_NULL_HANDLE;
    }
    ~Instance()
    {
        if (instance)
            vkDestroyInstance(instance, nullptr);
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    PFN_vkVoidFunction function(const char* name) const
    {
        return vkGetInstanceProcAddr(instance, name);
    }

    VkResult result = VK_ERROR_INITIALIZATION_FAILED;
    VkInstance instance = VK_NULL_HANDLE;
    VkPhysicalDevice physicalDevice = VK_NULL_HANDLE;
};

QStringList extensionNames(VkPhysicalDevice device)
{
    uint32_t count = 0;
    vkEnumerateDeviceExtensionProperties(device, nullptr, &count, nullptr);
    std::vector<VkExtensionProperties> properties(count);
    vkEnumerateDeviceExtensionProperties(device, nullptr, &count, properties.data());
    QStringList names;
    for (uint32_t i = 0; i < count; ++i)
        names << QString::fromLatin1(properties[i].extensionName);
    return names;
}

// A feature structure as its VkBool32 members, and the indexes of the hidden ones.
struct FeatureBlock {
    std::vector<unsigned char> bytes;
    QList<int> hidden;
};

constexpr size_t kHeader = sizeof(VkBaseOutStructure);

template <typename Features> FeatureBlock block(VkStructureType type, QList<size_t> hiddenOffsets)
{
    FeatureBlock result;
    result.bytes.assign(sizeof(Features), 0);
    reinterpret_cast<VkBaseOutStructure*>(result.bytes.data())->sType = type;
    for (const size_t offset : hiddenOffsets)
        result.hidden << int((offset - kHeader) / sizeof(VkBool32));
    return result;
}

VkBool32 member(const FeatureBlock& b, int index)
{
    VkBool32 value;
    std::memcpy(&value, b.bytes.data() + kHeader + size_t(index) * sizeof(VkBool32), sizeof(value));
    return value;
}

int memberCount(const FeatureBlock& b)
{
    return int((b.bytes.size() - kHeader) / sizeof(VkBool32));
}

// The structures a feature query fills: per extension, or per Vulkan version.
QList<FeatureBlock> featureChain(bool perVersion)
{
    QList<FeatureBlock> chain{
        block<VkPhysicalDeviceFeatures2>(VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_FEATURES_2, {})};
    if (perVersion) {
        chain << block<VkPhysicalDeviceVulkan11Features>(
            VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_1_FEATURES,
            {offsetof(VkPhysicalDeviceVulkan11Features, storageBuffer16BitAccess),
             offsetof(VkPhysicalDeviceVulkan11Features, uniformAndStorageBuffer16BitAccess),
             offsetof(VkPhysicalDeviceVulkan11Features, storagePushConstant16),
             offsetof(VkPhysicalDeviceVulkan11Features, storageInputOutput16)});
        chain << block<VkPhysicalDeviceVulkan12Features>(
            VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_2_FEATURES,
            {offsetof(VkPhysicalDeviceVulkan12Features, storageBuffer8BitAccess),
             offsetof(VkPhysicalDeviceVulkan12Features, uniformAndStorageBuffer8BitAccess),
             offsetof(VkPhysicalDeviceVulkan12Features, storagePushConstant8),
             offsetof(VkPhysicalDeviceVulkan12Features, shaderFloat16),
             offsetof(VkPhysicalDeviceVulkan12Features, shaderInt8)});
        return chain;
    }
    chain << block<VkPhysicalDevice16BitStorageFeatures>(
        VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_16BIT_STORAGE_FEATURES,
        {offsetof(VkPhysicalDevice16BitStorageFeatures, storageBuffer16BitAccess),
         offsetof(VkPhysicalDevice16BitStorageFeatures, uniformAndStorageBuffer16BitAccess),
         offsetof(VkPhysicalDevice16BitStorageFeatures, storagePushConstant16),
         offsetof(VkPhysicalDevice16BitStorageFeatures, storageInputOutput16)});
    chain << block<VkPhysicalDevice8BitStorageFeatures>(
        VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_8BIT_STORAGE_FEATURES,
        {offsetof(VkPhysicalDevice8BitStorageFeatures, storageBuffer8BitAccess),
         offsetof(VkPhysicalDevice8BitStorageFeatures, uniformAndStorageBuffer8BitAccess),
         offsetof(VkPhysicalDevice8BitStorageFeatures, storagePushConstant8)});
    chain << block<VkPhysicalDeviceShaderFloat16Int8Features>(
        VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_SHADER_FLOAT16_INT8_FEATURES,
        {offsetof(VkPhysicalDeviceShaderFloat16Int8Features, shaderFloat16),
         offsetof(VkPhysicalDeviceShaderFloat16Int8Features, shaderInt8)});
    return chain;
}

void link(QList<FeatureBlock>& chain)
{
    for (qsizetype i = 0; i + 1 < chain.size(); ++i) {
        reinterpret_cast<VkBaseOutStructure*>(chain[i].bytes.data())->pNext =
            reinterpret_cast<VkBaseOutStructure*>(chain[i + 1].bytes.data());
    }
}

QList<FeatureBlock> queryFeatures(const Instance& instance, const char* function, bool perVersion)
{
    QList<FeatureBlock> chain = featureChain(perVersion);
    link(chain);
    const auto query =
        reinterpret_cast<PFN_vkGetPhysicalDeviceFeatures2>(instance.function(function));
    if (query) {
        query(instance.physicalDevice,
              reinterpret_cast<VkPhysicalDeviceFeatures2*>(chain.first().bytes.data()));
    }
    return chain;
}

} // namespace

class TestVkLayer final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("VK_ADD_LAYER_PATH", KORVANE_TEST_RESOURCES_DIR "/vklayer");
        qunsetenv("VK_INSTANCE_LAYERS");
        uint32_t count = 0;
        vkEnumerateInstanceLayerProperties(&count, nullptr);
        std::vector<VkLayerProperties> layers(count);
        vkEnumerateInstanceLayerProperties(&count, layers.data());
        QStringList names;
        for (uint32_t i = 0; i < count; ++i)
            names << QString::fromLatin1(layers[i].layerName);
        QVERIFY2(names.contains(QLatin1String(kLayer)), qPrintable(names.join(u' ')));
    }

    void extensionsAreHiddenAndTheRestKept()
    {
        const Instance plain(false, VK_API_VERSION_1_2);
        const Instance layered(true, VK_API_VERSION_1_2);
        QCOMPARE(layered.result, VK_SUCCESS);
        QVERIFY(plain.physicalDevice && layered.physicalDevice);

        VkPhysicalDeviceProperties plainProperties{};
        VkPhysicalDeviceProperties layeredProperties{};
        vkGetPhysicalDeviceProperties(plain.physicalDevice, &plainProperties);
        vkGetPhysicalDeviceProperties(layered.physicalDevice, &layeredProperties);
        QCOMPARE(QString::fromUtf8(layeredProperties.deviceName),
                 QString::fromUtf8(plainProperties.deviceName));

        const QStringList all = extensionNames(plain.physicalDevice);
        const QStringList shown = extensionNames(layered.physicalDevice);
        // The device here reports all three; otherwise there would be nothing to hide.
        for (const QString& hidden : kHiddenExtensions)
            QVERIFY2(all.contains(hidden), qPrintable(hidden));
        QStringList expected = all;
        expected.removeIf([](const QString& name) { return kHiddenExtensions.contains(name); });
        QCOMPARE(shown, expected);

        // A short array is filled as far as it goes and reported incomplete.
        uint32_t count = uint32_t(shown.size() - 1);
        std::vector<VkExtensionProperties> partial(count);
        QCOMPARE(vkEnumerateDeviceExtensionProperties(layered.physicalDevice, nullptr, &count,
                                                      partial.data()),
                 VK_INCOMPLETE);
        QCOMPARE(count, uint32_t(shown.size() - 1));
        QCOMPARE(QString::fromLatin1(partial.back().extensionName), shown.at(shown.size() - 2));
    }

    void featureMembersAreHiddenAndTheRestKept_data()
    {
        QTest::addColumn<bool>("khrAlias");
        QTest::addColumn<bool>("perVersion");
        QTest::newRow("core query, per-extension structures") << false << false;
        QTest::newRow("core query, Vulkan 1.1 and 1.2 structures") << false << true;
        QTest::newRow("KHR alias, per-extension structures") << true << false;
    }
    void featureMembersAreHiddenAndTheRestKept()
    {
        QFETCH(bool, khrAlias);
        QFETCH(bool, perVersion);
        const uint32_t api = khrAlias ? VK_API_VERSION_1_0 : VK_API_VERSION_1_2;
        const char* function =
            khrAlias ? "vkGetPhysicalDeviceFeatures2KHR" : "vkGetPhysicalDeviceFeatures2";
        const Instance plain(false, api);
        const Instance layered(true, api);
        QCOMPARE(layered.result, VK_SUCCESS);
        QVERIFY(layered.function(function));

        const QList<FeatureBlock> before = queryFeatures(plain, function, perVersion);
        const QList<FeatureBlock> after = queryFeatures(layered, function, perVersion);
        int hiddenThatWereSet = 0;
        for (qsizetype s = 0; s < before.size(); ++s) {
            for (int m = 0; m < memberCount(before[s]); ++m) {
                const QByteArray where = QByteArray::number(s) + ':' + QByteArray::number(m);
                if (before[s].hidden.contains(m)) {
                    hiddenThatWereSet += member(before[s], m) ? 1 : 0;
                    QVERIFY2(member(after[s], m) == VK_FALSE, where.constData());
                } else {
                    QVERIFY2(member(after[s], m) == member(before[s], m), where.constData());
                }
            }
        }
        QVERIFY(hiddenThatWereSet > 0);
    }

    // Device creation agrees with what the device now reports: the loader refuses the hidden
    // extensions, and hidden features that an application asks for anyway are dropped on the way
    // down (the device is created), with the application's own structures left as they were.
    void deviceCreationFollowsTheHiddenView()
    {
        const Instance layered(true, VK_API_VERSION_1_2);
        QCOMPARE(layered.result, VK_SUCCESS);

        QList<FeatureBlock> chain = featureChain(false);
        link(chain);
        for (qsizetype s = 1; s < chain.size(); ++s) {
            for (const int m : chain[s].hidden) {
                const VkBool32 on = VK_TRUE;
                std::memcpy(chain[s].bytes.data() + kHeader + size_t(m) * sizeof(VkBool32), &on,
                            sizeof(on));
            }
        }
        const QList<FeatureBlock> requested = chain;

        const float priority = 1.0F;
        VkDeviceQueueCreateInfo queue{};
        queue.sType = VK_STRUCTURE_TYPE_DEVICE_QUEUE_CREATE_INFO;
        queue.queueFamilyIndex = 0;
        queue.queueCount = 1;
        queue.pQueuePriorities = &priority;
        const char* extensions[] = {"VK_KHR_16bit_storage", "VK_KHR_8bit_storage",
                                    "VK_KHR_shader_float16_int8"};
        VkDeviceCreateInfo info{};
        info.sType = VK_STRUCTURE_TYPE_DEVICE_CREATE_INFO;
        info.queueCreateInfoCount = 1;
        info.pQueueCreateInfos = &queue;
        info.enabledExtensionCount = 3;
        info.ppEnabledExtensionNames = extensions;

        VkDevice device = VK_NULL_HANDLE;
        QCOMPARE(vkCreateDevice(layered.physicalDevice, &info, nullptr, &device),
                 VK_ERROR_EXTENSION_NOT_PRESENT);

        info.enabledExtensionCount = 0;
        info.pNext = chain.first().bytes.data();
        QCOMPARE(vkCreateDevice(layered.physicalDevice, &info, nullptr, &device), VK_SUCCESS);
        QVERIFY(vkGetDeviceProcAddr(device, "vkCreateBuffer"));
        vkDestroyDevice(device, nullptr);
        for (qsizetype s = 0; s < chain.size(); ++s)
            QVERIFY(chain[s].bytes == requested[s].bytes);
    }
};

KORVANE_TEST_MAIN(TestVkLayer)
#include "tst_vklayer.moc"
