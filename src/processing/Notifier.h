#pragma once

// System notifications over the freedesktop notification service on the session bus.
// Threading: main thread. Calls never block; a missing bus or service does nothing.
namespace Notifier {
// Linux has no permission prompt: asks the service for its capabilities and ignores the answer.
void requestAuthorization();
} // namespace Notifier
