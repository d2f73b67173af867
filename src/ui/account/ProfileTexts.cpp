#include "ui/account/ProfileTexts.h"

#include <QStringList>

namespace ProfileTexts {

QString initials(const QString& name)
{
    const QStringList words = name.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QString letters;
    for (qsizetype i = 0; i < words.size() && i < 2; ++i)
        letters += words.at(i).at(0);
    letters = letters.toUpper();
    return letters.isEmpty() ? QStringLiteral("?") : letters;
}

QString capitalisedOrDash(const std::optional<QString>& value)
{
    if (!value)
        return QStringLiteral("—");
    QString result = value->toLower();
    bool startOfWord = true;
    for (QChar& character : result) {
        if (startOfWord && character.isLetter())
            character = character.toUpper();
        startOfWord = character.isSpace();
    }
    return result;
}

QString dateOrDash(const std::optional<QString>& value)
{
    if (!value || value->size() < 10)
        return QStringLiteral("—");
    return value->left(10);
}

QString userName(const std::optional<UserInfo>& user)
{
    if (!user)
        return {};
    if (user->firstName)
        return *user->firstName;
    if (user->username)
        return *user->username;
    return {};
}

} // namespace ProfileTexts
