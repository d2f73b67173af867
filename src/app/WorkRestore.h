#pragma once

class JobQueue;
class Upscaler;

// Start-up work on the per-user work folder: removes what ended work left behind (see
// UpscaleCore::staleTempEntries) and lists the video jobs left unfinished by a quit, a crash or a
// power cut in the queue as Interrupted, with Resume and Discard.
//
// Threading: start() is called on the main thread; the folder is read and cleared on a worker,
// and the jobs reach the queue on the main thread.
namespace WorkRestore {
void start(Upscaler& video, JobQueue& queue);
}
