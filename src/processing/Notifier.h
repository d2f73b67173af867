#pragma once

class QString;

// System notifications over the freedesktop notification service on the session bus.
// Threading: main thread. Calls never block; a missing bus or service does nothing.
namespace Notifier {

// Posts one notification for a finished single-file job, as the settings "notifyOnFinish" and
// "notifyWithSound" say at the moment of the call: "Upscale complete" / "<name> is ready." on
// success, "Upscale failed" / "<name> could not be upscaled." otherwise. A stop by the user is
// not a failure: the models do not call this for it. Every
// call makes a new notification; the service's answer is ignored.
void upscaleFinished(const QString& name, bool success);

// Linux has no permission prompt: asks the service for its capabilities and ignores the answer.
void requestAuthorization();

} // namespace Notifier
