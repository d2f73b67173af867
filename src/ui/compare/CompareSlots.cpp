#include "ui/compare/CompareSlots.h"

#include <algorithm>

#include <QFileInfo>
#include <QMimeDatabase>
#include <QStringList>

namespace {

// Whether a file type, or any type it derives from, starts with one of the prefixes.
bool typeIsOneOf(const QMimeType& type, std::initializer_list<QLatin1String> prefixes)
{
    QStringList names = type.allAncestors();
    names.prepend(type.name());
    for (const QString& name : std::as_const(names)) {
        for (const QLatin1String& prefix : prefixes) {
            if (name.startsWith(prefix))
                return true;
        }
    }
    return false;
}

} // namespace

bool CompareSlots::isVideoURL(const QUrl& url)
{
    const QString suffix = QFileInfo(url.path()).suffix().toLower();
    if (!suffix.isEmpty()) {
        const QMimeDatabase database;
        const QMimeType type = database.mimeTypeForFile(QStringLiteral("file.") + suffix,
                                                        QMimeDatabase::MatchExtension);
        if (type.isValid() && !type.isDefault()) {
            if (typeIsOneOf(type, {QLatin1String("image/")}))
                return false;
            if (typeIsOneOf(type, {QLatin1String("video/"), QLatin1String("audio/")}))
                return true;
        }
    }
    static const QStringList videoExtensions{QStringLiteral("mp4"), QStringLiteral("mov"),
                                             QStringLiteral("m4v"), QStringLiteral("avi"),
                                             QStringLiteral("mkv"), QStringLiteral("webm")};
    return videoExtensions.contains(suffix);
}

QList<CompareItem> CompareSlots::addFiles(const QList<QUrl>& urls)
{
    QList<CompareItem> added;
    for (const QUrl& url : urls) {
        const bool known = std::any_of(m_items.cbegin(), m_items.cend(),
                                       [&](const CompareItem& item) { return item.url == url; });
        if (known)
            continue;
        CompareItem item;
        item.id = QUuid::createUuid();
        item.url = url;
        item.isVideo = isVideoURL(url);
        item.decoded = item.isVideo;
        m_items.append(item);
        added.append(item);
    }
    if (!m_slotA && !m_items.isEmpty())
        m_slotA = m_items.first().id;
    if (!m_slotB) {
        const auto other =
            std::find_if(m_items.cbegin(), m_items.cend(),
                         [this](const CompareItem& item) { return item.id != m_slotA; });
        if (other != m_items.cend())
            m_slotB = other->id;
    }
    return added;
}

bool CompareSlots::setImage(const QUuid& id, const QImage& image)
{
    for (CompareItem& gathered : m_items) {
        if (gathered.id == id) {
            gathered.image = image;
            gathered.decoded = true;
            return true;
        }
    }
    return false;
}

void CompareSlots::assign(const QUuid& id)
{
    (m_nextSlotIsA ? m_slotA : m_slotB) = id;
    m_nextSlotIsA = !m_nextSlotIsA;
}

void CompareSlots::setSlot(CompareSlot slot, const std::optional<QUuid>& id)
{
    (slot == CompareSlot::A ? m_slotA : m_slotB) = id;
}

void CompareSlots::remove(const QUuid& id)
{
    m_items.removeIf([&](const CompareItem& item) { return item.id == id; });
    if (m_slotA == id)
        m_slotA.reset();
    if (m_slotB == id)
        m_slotB.reset();
}

void CompareSlots::reset()
{
    m_items.clear();
    m_slotA.reset();
    m_slotB.reset();
    m_nextSlotIsA = true;
}

std::optional<CompareItem> CompareSlots::itemFor(const std::optional<QUuid>& id) const
{
    if (!id)
        return std::nullopt;
    for (const CompareItem& item : m_items) {
        if (item.id == *id)
            return item;
    }
    return std::nullopt;
}

QString CompareSlots::detectedKind() const
{
    const auto a = itemA();
    const auto b = itemB();
    const auto kind = [](const CompareItem& item) {
        return item.isVideo ? QStringLiteral("Video") : QStringLiteral("Image");
    };
    if (a && b)
        return a->isVideo != b->isVideo ? QStringLiteral("Mixed") : kind(*a);
    if (a)
        return kind(*a);
    if (b)
        return kind(*b);
    return QString();
}

CompareSlots::Comparison CompareSlots::comparison(bool sliderMode) const
{
    const auto a = itemA();
    const auto b = itemB();
    if (a && b && a->isVideo && b->isVideo)
        return {Area::Videos, {}, {}, {}};
    if (a && b && !a->isVideo && !b->isVideo) {
        if (!a->image.isNull() && !b->image.isNull())
            return {sliderMode ? Area::ImageWipe : Area::ImagesSideBySide, {}, {}, {}};
        if (!a->decoded || !b->decoded)
            return {Area::ReadingImages, {}, {}, {}};
        // At least one of the two could not be read as a picture.
        const QString name = a->image.isNull() ? a->fileName() : b->fileName();
        return {Area::Placeholder, QStringLiteral("exclamationmark.triangle"),
                tr("Can't show this image"),
                tr("“%1” could not be read as an image. Pick another image to compare.").arg(name)};
    }
    if (!a || !b) {
        return {Area::Placeholder, QStringLiteral("rectangle.split.2x1"),
                tr("Choose two items to compare"),
                tr("Add videos or images, then tap any two in the strip to compare them.")};
    }
    return {Area::Placeholder, QStringLiteral("exclamationmark.triangle"),
            tr("Pick two items of the same type"),
            tr("Compare two videos or two images — not one of each.")};
}

QString CompareSlots::badge(const QUuid& id) const
{
    if (m_slotA == id)
        return QStringLiteral("A");
    if (m_slotB == id)
        return QStringLiteral("B");
    return QString();
}

QString CompareSlots::assignToolTip() const
{
    return m_nextSlotIsA ? tr("Tap to assign to slot A") : tr("Tap to assign to slot B");
}
