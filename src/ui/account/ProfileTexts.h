#pragma once

#include <optional>

#include <QString>

#include "account/UserInfo.h"

// The texts of the account screens, kept pure for testing.
namespace ProfileTexts {

// The upper-cased first letters of the first two words of name; "?" when there are none.
QString initials(const QString& name);
// Each word capitalised; "—" when absent.
QString capitalisedOrDash(const std::optional<QString>& value);
// The first 10 characters (the date of an ISO 8601 time stamp); "—" when absent or shorter.
QString dateOrDash(const std::optional<QString>& value);
// The name the dashboard greets: the first name if present (even empty), else the user name,
// else empty.
QString userName(const std::optional<UserInfo>& user);

} // namespace ProfileTexts
