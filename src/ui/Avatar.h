#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

class QNetworkAccessManager;
class QNetworkReply;

// A user's picture in a circle, or their initials on the accent gradient until (or unless) the
// picture loads.
// Threading: main thread; the picture is fetched asynchronously.
class Avatar final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Avatar)
public:
    Avatar(int size, QWidget* parent = nullptr);
    ~Avatar() override;

    void setUser(const QString& urlString, const QString& name);
    QString initials() const;
    bool hasPicture() const { return !m_picture.isNull(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_size;
    QString m_url;
    QString m_name;
    QImage m_picture;
    QNetworkAccessManager* m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
};
