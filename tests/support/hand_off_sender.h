#pragma once
// A second start's hand-off sent from a thread of its own, while this thread
// runs the events of the program that serves it.

#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <string>
#include <thread>

#include "recorder_ui/instance_link.h"

namespace tavrin::testing {

// A command (or an "open") sent the same way.
inline recorder_ui::HandOffResult CommandServed(const recorder_ui::InstanceAddress& address,
                                                const std::string& verb,
                                                const std::string& argument) {
  std::atomic<bool> done = false;
  recorder_ui::HandOffResult result;
  std::thread sender([&] {
    result = recorder_ui::SendCommand(address, verb, argument, 2000);
    done = true;
  });
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done) loop.quit();
  });
  poll.start(5);
  loop.exec();  // the sender gives up by itself within its few seconds
  sender.join();
  return result;
}

inline recorder_ui::HandOffResult HandOverServed(const recorder_ui::InstanceAddress& address,
                                                 const std::string& path) {
  return CommandServed(address, "open", path);
}

}  // namespace tavrin::testing
