#pragma once

#include <QDialog>

class ElidedLabel;
class PlayerView;
class QMediaPlayer;
class QPushButton;

// The sheet that plays the loaded video: its file name, "Done", and the player with its
// controls. Closing the sheet pauses the video. The player is not owned.
// Threading: main thread.
class PlayerSheet final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PlayerSheet)
public:
    explicit PlayerSheet(QWidget* parent = nullptr);

    // Shows the sheet for this player (nothing is played without one).
    void present(QMediaPlayer* player, const QString& fileName);

    PlayerView* playerView() const { return m_view; }
    QString fileName() const;
    QPushButton* doneButton() const { return m_done; }

private:
    ElidedLabel* m_name;
    QPushButton* m_done;
    PlayerView* m_view;
};
