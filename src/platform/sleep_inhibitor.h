#pragma once
// Keeps the machine from suspending while a take records. The recorder window
// says whether a take is recording; the backend takes or gives up a lock with
// the system. User-interface thread only; no call ever waits for the system.

namespace tavrin::platform {

class SleepInhibitor {
public:
  virtual ~SleepInhibitor() = default;
  // Holds the lock while `recording` is true and releases it when false.
  // Repeating the same value does nothing, so a timer may call it every tick.
  virtual void SetRecording(bool recording) = 0;
};

}  // namespace tavrin::platform
