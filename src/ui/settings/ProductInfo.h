#pragma once

#include <QString>

// The product's public addresses and the name shown in the About block.
namespace ProductInfo {

// The name at the head of the About block.
inline const QString aboutTitle = QStringLiteral("Korvane - 4K Upscaler");
// The product's web site, and its domain name as shown on the link.
inline const QString siteUrl = QStringLiteral("https://korvane.app");
inline const QString siteDomain = QStringLiteral("korvane.app");
// Where users ask for help or request features.
inline const QString supportAddress = QStringLiteral("support@korvane.app");

} // namespace ProductInfo
