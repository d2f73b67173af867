#include "ui/video/PlayerSheet.h"

#include <QHBoxLayout>
#include <QMediaPlayer>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/components/ElidedLabel.h"
#include "ui/components/PlayerView.h"
#include "ui/components/Theme.h"

PlayerSheet::PlayerSheet(QWidget* parent) : QDialog(parent)
{
    setModal(true);
    resize(900, 580);
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, Theme::appBG());
    setPalette(background);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(18, 18, 18, 18);
    column->setSpacing(12);
    auto* header = new QHBoxLayout;
    m_name = new ElidedLabel(QString(), this);
    m_name->setFont(Theme::font(15, QFont::DemiBold));
    header->addWidget(m_name, 1);
    m_done = new QPushButton(QStringLiteral("Done"), this);
    m_done->setAutoDefault(false);
    header->addWidget(m_done);
    column->addLayout(header);
    m_view = new PlayerView(nullptr, true, this);
    column->addWidget(m_view, 1);

    connect(m_done, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::finished, this, [this] {
        if (QMediaPlayer* player = m_view->player())
            player->pause();
    });
}

void PlayerSheet::present(QMediaPlayer* player, const QString& fileName)
{
    if (!player)
        return;
    setWindowTitle(fileName);
    m_name->setFullText(fileName);
    m_view->setPlayer(player);
    open();
}

QString PlayerSheet::fileName() const
{
    return m_name->fullText();
}
