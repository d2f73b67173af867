#include "ui/image/ImageResultArea.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStackedLayout>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "ui/components/BeforeAfterSlider.h"
#include "ui/components/GlassCard.h"
#include "ui/components/Icons.h"
#include "ui/components/Segmented.h"
#include "ui/components/Theme.h"
#include "ui/image/FittedImage.h"

namespace {
// An icon filled with the accent gradient.
class GradientIcon final : public QWidget {
public:
    GradientIcon(const QString& name, int size, QWidget* parent) : QWidget(parent), m_name(name)
    {
        setFixedSize(size, size);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF area(rect());
        Icons::paint(painter, area, m_name, Theme::appAccentGradient(area));
    }

private:
    QString m_name;
};

QLabel* secondaryLabel(const QString& text, const QFont& font, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Theme::secondaryText());
    label->setPalette(palette);
    return label;
}
} // namespace

ImageResultArea::ImageResultArea(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* card = new GlassCard(18, this);
    outer->addWidget(card);
    m_pages = new QStackedLayout(card);

    m_pages->addWidget(buildComparison());

    auto* sourcePage = new QWidget(card);
    auto* sourceLayout = new QVBoxLayout(sourcePage);
    sourceLayout->setContentsMargins(8, 8, 8, 8);
    m_source = new FittedImage(sourcePage);
    sourceLayout->addWidget(m_source);
    m_pages->addWidget(sourcePage);

    m_pages->addWidget(buildExample());
    m_pages->addWidget(buildEmpty());
    m_pages->setCurrentIndex(int(m_page));
}

QWidget* ImageResultArea::buildComparison()
{
    auto* page = new QWidget(this);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(10);
    m_picker =
        new Segmented(Segmented::optionsOf<int>(
                          {{QStringLiteral("Slider"), int(ImageCompareMode::Slider)},
                           {QStringLiteral("Side by Side"), int(ImageCompareMode::SideBySide)}}),
                      int(m_compareMode), page);
    m_picker->setFixedWidth(260);
    column->addWidget(m_picker, 0, Qt::AlignHCenter);
    connect(m_picker, &Segmented::selectionChanged, this,
            [this](const QVariant& value) { setCompareMode(ImageCompareMode(value.toInt())); });

    m_compareStack = new QStackedWidget(page);
    m_resultSlider = new BeforeAfterSlider(m_compareStack);
    m_compareStack->addWidget(m_resultSlider);
    m_sideBySide = new QWidget(m_compareStack);
    auto* row = new QHBoxLayout(m_sideBySide);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    row->addWidget(labeledImage(QStringLiteral("Original"), m_sideOriginal, m_sideBySide));
    row->addWidget(labeledImage(QStringLiteral("Upscaled"), m_sideUpscaled, m_sideBySide));
    m_compareStack->addWidget(m_sideBySide);
    column->addWidget(m_compareStack, 1);
    return page;
}

QWidget* ImageResultArea::labeledImage(const QString& title, FittedImage*& image, QWidget* parent)
{
    auto* box = new QWidget(parent);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    column->addWidget(secondaryLabel(title, Theme::font(12, QFont::DemiBold), box));
    image = new FittedImage(box);
    column->addWidget(image, 1);
    return box;
}

QWidget* ImageResultArea::buildExample()
{
    auto* page = new QWidget(this);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(8);
    m_example = new BeforeAfterSlider(page);
    column->addWidget(m_example, 1);
    m_exampleCaption =
        secondaryLabel(QStringLiteral("Example — drag to compare. Drop your own image to upscale."),
                       Theme::font(12), page);
    m_exampleCaption->setAlignment(Qt::AlignCenter);
    column->addWidget(m_exampleCaption);
    return page;
}

QWidget* ImageResultArea::buildEmpty()
{
    auto* page = new QWidget(this);
    auto* column = new QVBoxLayout(page);
    column->setSpacing(10);
    column->addStretch(1);
    column->addWidget(new GradientIcon(QStringLiteral("photo.artframe"), 44, page), 0,
                      Qt::AlignHCenter);
    m_emptyText = secondaryLabel(QStringLiteral("Drop an image to start"), Theme::font(14), page);
    column->addWidget(m_emptyText, 0, Qt::AlignHCenter);
    column->addStretch(1);
    return page;
}

ImageResultArea::Page ImageResultArea::pageFor(bool hasResult, bool hasSource, bool hasSamples)
{
    if (hasResult)
        return Page::Comparison;
    if (hasSource)
        return Page::Source;
    if (hasSamples)
        return Page::Example;
    return Page::Empty;
}

void ImageResultArea::setContent(const QImage& original, const QImage& upscaled,
                                 const QImage& source, const QImage& sampleOriginal,
                                 const QImage& sampleUpscaled)
{
    const bool hasResult = !original.isNull() && !upscaled.isNull();
    m_page =
        pageFor(hasResult, !source.isNull(), !sampleOriginal.isNull() && !sampleUpscaled.isNull());
    switch (m_page) {
    case Page::Comparison:
        if (m_resultSlider->original().cacheKey() != original.cacheKey() ||
            m_resultSlider->upscaled().cacheKey() != upscaled.cacheKey()) {
            m_resultSlider->setImages(original, upscaled);
            m_resultSlider->setFrac(0.5);
            m_sideOriginal->setImage(original);
            m_sideUpscaled->setImage(upscaled);
        }
        break;
    case Page::Source:
        if (m_source->image().cacheKey() != source.cacheKey())
            m_source->setImage(source);
        break;
    case Page::Example:
        if (m_example->original().cacheKey() != sampleOriginal.cacheKey() ||
            m_example->upscaled().cacheKey() != sampleUpscaled.cacheKey())
            m_example->setImages(sampleOriginal, sampleUpscaled);
        break;
    case Page::Empty:
        break;
    }
    m_pages->setCurrentIndex(int(m_page));
}

void ImageResultArea::setCompareMode(ImageCompareMode mode)
{
    m_picker->setSelection(int(mode));
    if (mode == m_compareMode)
        return;
    m_compareMode = mode;
    m_compareStack->setCurrentIndex(mode == ImageCompareMode::Slider ? 0 : 1);
    Q_EMIT compareModeChanged(mode);
}
