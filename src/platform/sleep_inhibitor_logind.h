#pragma once
// The system's login manager (org.freedesktop.login1 on the system bus) holds
// a "sleep:idle" block lock for us for as long as we keep the file descriptor
// its Inhibit call returns. Every systemd desktop suspends through it, and the
// lock ends with the descriptor, so even a crash cannot leave the machine awake.
// Without a bus or the service the recorder goes on as before.

#include <QObject>
#include <QString>

#include "platform/sleep_inhibitor.h"

namespace tavrin::platform {

class LogindSleepInhibitor final : public QObject, public SleepInhibitor {
public:
  // `busAddress` empty: the system bus, reached at the first take.
  explicit LogindSleepInhibitor(QString busAddress = {}, QObject* parent = nullptr);
  ~LogindSleepInhibitor() override;
  LogindSleepInhibitor(const LogindSleepInhibitor&) = delete;
  LogindSleepInhibitor& operator=(const LogindSleepInhibitor&) = delete;

  void SetRecording(bool recording) override;
  // A lock is held now (its answer may still be on its way after SetRecording).
  bool Held() const { return m_lockFd >= 0; }

private:
  void Request();
  void Release();

  QString m_busAddress;
  bool m_wanted = false;
  bool m_pending = false;  // an Inhibit call is waiting for its answer
  int m_lockFd = -1;
};

}  // namespace tavrin::platform
