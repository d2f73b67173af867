#include "ui/batch/BatchScreen.h"

#include <optional>
#include <utility>

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/AIQuality.h"
#include "ui/batch/BatchListCard.h"
#include "ui/batch/BatchTexts.h"
#include "ui/components/FilePicker.h"
#include "ui/components/ControlPane.h"
#include "ui/components/DropCard.h"
#include "ui/components/FileActions.h"
#include "ui/components/GlassCard.h"
#include "ui/components/ProminentButton.h"
#include "ui/components/Segmented.h"
#include "ui/components/Theme.h"
#include "ui/shell/MediaModeBinding.h"

BatchScreen::BatchScreen(const BatchScreenLook& look, MediaModeBinding& mode, Model model,
                         QWidget* parent)
    : QWidget(parent), m_look(look), m_model(std::move(model))
{
    auto* columns = new QHBoxLayout(this);
    columns->setContentsMargins(20, 20, 20, 20);
    columns->setSpacing(18);

    // Left column: the drop card, then the list card taking the remaining height.
    auto* left = new QVBoxLayout;
    left->setSpacing(14);
    m_dropCard = new DropCard(DropCard::Layout::Centered, this);
    m_dropCard->setIcon(look.dropIcon, DropCard::IconFill::Gradient,
                        QStringLiteral("plus.circle.fill"));
    m_dropCard->setTitle(look.dropTitle);
    m_dropCard->setDetail(look.dropSubtitle);
    left->addWidget(m_dropCard);
    auto* listGlass = new GlassCard(18, this);
    auto* listPadding = new QVBoxLayout(listGlass);
    listPadding->setContentsMargins(16, 16, 16, 16);
    m_listCard = new BatchListCard(look, listGlass);
    listPadding->addWidget(m_listCard);
    left->addWidget(listGlass, 1);
    columns->addLayout(left, 1);

    // Right column: the control pane.
    m_pane = new ControlPane(look.title, this);
    m_modeControl = new Segmented(
        Segmented::optionsOf<int>({{look.singleModeLabel, int(MediaMode::Single)},
                                   {look.multipleModeLabel, int(MediaMode::Multiple)}}),
        int(mode.value()));
    addOption(QStringLiteral("Mode"), m_modeControl);
    connect(m_modeControl, &Segmented::selectionChanged, &mode,
            [&mode](const QVariant& value) { mode.setValue(MediaMode(value.toInt())); });
    connect(&mode, &MediaModeBinding::changed, m_modeControl,
            [this](MediaMode value) { m_modeControl->setSelection(int(value)); });

    m_runningNoteCard = new GlassCard(10, m_pane->content());
    auto* notePadding = new QVBoxLayout(m_runningNoteCard);
    notePadding->setContentsMargins(10, 10, 10, 10);
    m_runningNote =
        ControlPane::label(QString(), Theme::font(12), Theme::secondaryText(), m_runningNoteCard);
    notePadding->addWidget(m_runningNote);
    m_pane->addFooterItem(m_runningNoteCard);
    columns->addWidget(m_pane);

    connect(m_dropCard, &DropCard::clicked, this, &BatchScreen::pickFiles);
    connect(m_dropCard, &DropCard::filesDropped, this,
            [this](const QList<QUrl>& urls) { handleDrop(urls); });
    connect(m_listCard, &BatchListCard::clearRequested, this, [this] {
        if (!m_model.isRunning())
            m_model.clear();
    });
    connect(m_listCard, &BatchListCard::removeRequested, this, [this](const QUuid& id) {
        if (!m_model.isRunning())
            m_model.remove(id);
    });
    connect(m_listCard, &BatchListCard::revealRequested, this,
            [this](const QUrl& output) { FileActions::reveal(this, output.toLocalFile()); });
    connect(primaryButton(), &QPushButton::clicked, this, &BatchScreen::chooseFolderAndStart);

    setState({}, false, 0);
}

bool BatchScreen::handleDrop(const QList<QUrl>& urls)
{
    if (m_model.isRunning())
        return false;
    QList<QUrl> files;
    for (const QUrl& url : urls) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            files.append(url);
    }
    if (!files.isEmpty())
        m_model.add(files);
    return true;
}

void BatchScreen::pickFiles()
{
    if (m_model.isRunning())
        return;
    FilePicker::current().chooseFiles(
        {this, m_look.pickerMessage, m_look.pickerFilters, m_look.pickerPlace},
        [this](const QList<QUrl>& chosen) {
            // The run may have started while the dialog was open.
            if (!m_model.isRunning())
                m_model.add(chosen);
        });
}

void BatchScreen::chooseFolderAndStart()
{
    if (m_model.isRunning() || m_model.isEmpty())
        return;
    FilePicker::current().chooseFolder(
        {this, m_look.folderMessage, QStringLiteral("Save Here"), m_look.pickerPlace},
        [this](const QUrl& folder) {
            if (!folder.isEmpty() && !m_model.isRunning() && !m_model.isEmpty())
                m_model.start(folder);
        });
}

QList<Segmented::Option> BatchScreen::qualityOptions()
{
    QList<Segmented::Option> options;
    for (AIQuality quality : AIQualities::all)
        options.append({AIQualities::label(quality), AIQualities::rawValue(quality)});
    return options;
}

void BatchScreen::addOption(const QString& label, Segmented* control, const QString& caption)
{
    m_pane->addField(label, control, caption);
}

ProminentButton* BatchScreen::primaryButton() const
{
    return m_pane->primaryButton();
}

void BatchScreen::setOptionLocked(Segmented* control, bool locked)
{
    if (control->isEnabled() != locked)
        return;
    control->setEnabled(!locked);
    if (locked) {
        auto* faded = new QGraphicsOpacityEffect(control);
        faded->setOpacity(0.5);
        control->setGraphicsEffect(faded);
    } else {
        control->setGraphicsEffect(nullptr);
    }
}

void BatchScreen::setState(const QList<BatchListRow::Entry>& entries, bool running, int completed)
{
    m_dropCard->setInert(running);
    QList<BatchListRow::Entry> shown = entries;
    for (BatchListRow::Entry& entry : shown)
        entry.status = BatchTexts::shownStatus(entry.status, running);
    m_listCard->setEntries(shown, running, completed);
    m_runningNoteCard->setVisible(running);
    m_runningNote->setText(BatchTexts::runningNote(completed, int(entries.size())));
    primaryButton()->setTitle(BatchTexts::primaryTitle(running));
    primaryButton()->setEnabled(!running && !entries.isEmpty());
}
