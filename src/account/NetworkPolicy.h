#pragma once

#include <chrono>

#include <QtGlobal>

class QNetworkReply;
class QUrl;

// The rules every request of the account and update code follows: which addresses may be fetched,
// which redirects may be followed, and how long and how large an answer may be.
// Threading: the functions take the thread of the reply they are given.
namespace NetworkPolicy {

// localhost, 127.0.0.0/8 or ::1.
bool isLoopback(const QUrl& url);
// https anywhere, or http to a loopback host (the local development server).
bool isSecureOrLoopback(const QUrl& url);
// Whether a request for from may follow a redirect to to: the target must pass
// isSecureOrLoopback, and an https request never moves to plain http.
bool redirectAllowed(const QUrl& from, const QUrl& to);

// Makes the reply, created from a request with QNetworkRequest::UserVerifiedRedirectPolicy,
// follow only the redirects that redirectAllowed() lets through; any other aborts it.
void guardRedirects(QNetworkReply* reply);

// Why bound() ended a reply.
enum class Limit { None, Deadline, Size };

// Aborts the reply once the deadline has passed since now, however steadily data trickles in, or
// once its body announces or reaches more than maxBytes.
void bound(QNetworkReply* reply, std::chrono::milliseconds deadline, qint64 maxBytes);
// The limit that ended a bounded reply, or that its unread body exceeds: Limit::None when none
// did. Check it before reading a finished reply.
Limit exceededLimit(const QNetworkReply* reply);

} // namespace NetworkPolicy
