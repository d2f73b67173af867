#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

class QNetworkAccessManager;
class QNetworkReply;

// A user's picture in a circle, or their initials on the accent gradient until (or unless) the
// picture loads.
// The picture is fetched only from an https address (http only on a loopback host), within 30
// seconds and maxPictureBytes, and decoded on a worker thread.
// Threading: main thread; the picture is fetched and decoded asynchronously.
class Avatar final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Avatar)
public:
    Avatar(int size, QWidget* parent = nullptr);
    ~Avatar() override;

    void setUser(const QString& urlString, const QString& name);
    QString initials() const;
    bool hasPicture() const { return !m_picture.isNull(); }

    static constexpr qint64 maxPictureBytes = 4 * 1024 * 1024;
    static constexpr int maxPictureSide = 8192;
    // The picture in bytes, scaled down towards twice size; null when it is not one or too large.
    static QImage decode(const QByteArray& bytes, int size);

Q_SIGNALS:
    // A picture was loaded and is shown.
    void pictureChanged();

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
