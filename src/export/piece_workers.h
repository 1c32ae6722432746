#pragma once
// Worker threads for a save on several threads: pieces handed in are encoded
// by `encode` on whichever worker is free, and taken back in the order they
// were handed in, once encoded. The workers see only the pieces: the
// document, the file and the user channel stay with the thread that owns the
// pool (the user-interface thread), which calls every member.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace tavrin::exporter {

template <typename Piece>
class PieceWorkers {
public:
  // Encodes one piece on a worker thread; it looks at `stop` now and then and
  // leaves the piece unfinished once it is raised.
  using Encode = std::function<void(Piece& piece, const std::atomic<bool>& stop)>;

  // Starts up to `threads` workers; see Threads().
  PieceWorkers(unsigned threads, Encode encode) : m_encode(std::move(encode)) {
    try {
      while (m_workers.size() < threads) m_workers.emplace_back(&PieceWorkers::Work, this);
    } catch (const std::system_error& error) {
      m_startError = error.code().value();
    }
  }
  ~PieceWorkers() { Stop(); }
  PieceWorkers(const PieceWorkers&) = delete;
  PieceWorkers& operator=(const PieceWorkers&) = delete;

  // The workers running: fewer than asked when the system would start no
  // more, 0 when it started none (StartError() says why).
  unsigned Threads() const { return static_cast<unsigned>(m_workers.size()); }
  int StartError() const { return m_startError; }

  void Submit(std::unique_ptr<Piece> piece) {
    {
      const std::lock_guard lock(m_mutex);
      m_held.push_back({std::move(piece), false});
      m_waiting.push_back(&m_held.back());
    }
    m_handedIn.notify_one();
  }

  // Pieces handed in and not yet taken back.
  std::size_t Held() {
    const std::lock_guard lock(m_mutex);
    return m_held.size();
  }

  // The oldest piece handed in once it is encoded, waiting at most `wait`
  // for it; null when there is none or it is not ready.
  std::unique_ptr<Piece> TakeOldest(std::chrono::milliseconds wait) {
    std::unique_lock lock(m_mutex);
    const auto ready = [this] { return m_held.front().Encoded; };
    // Not waiting at all may be asked for after every block: no timed wait (a system call) then.
    if (m_held.empty() ||
        !(ready() || (wait.count() > 0 && m_encoded.wait_for(lock, wait, ready)))) {
      return nullptr;
    }
    std::unique_ptr<Piece> piece = std::move(m_held.front().Item);
    m_held.pop_front();
    return piece;
  }

  // Stops every worker (each within its encoder's next look at the flag) and
  // waits for them; the pieces held are dropped.
  void Stop() {
    {
      const std::lock_guard lock(m_mutex);
      m_stop = true;
    }
    m_handedIn.notify_all();
    for (std::thread& worker : m_workers) worker.join();
    m_workers.clear();
    m_waiting.clear();
    m_held.clear();
  }

private:
  struct Slot {
    std::unique_ptr<Piece> Item;
    bool Encoded = false;
  };

  void Work() {
    for (;;) {
      Slot* slot = nullptr;
      {
        std::unique_lock lock(m_mutex);
        m_handedIn.wait(lock, [this] { return m_stop || !m_waiting.empty(); });
        if (m_stop) return;
        slot = m_waiting.front();
        m_waiting.pop_front();
      }
      // The slot stays where it is until it is marked encoded: only then is it taken back.
      m_encode(*slot->Item, m_stop);
      {
        const std::lock_guard lock(m_mutex);
        slot->Encoded = true;
      }
      m_encoded.notify_all();
    }
  }

  const Encode m_encode;
  std::mutex m_mutex;
  std::condition_variable m_handedIn;  // a piece to encode, or stop
  std::condition_variable m_encoded;
  std::deque<Slot> m_held;      // in the order handed in; a deque keeps references stable
  std::deque<Slot*> m_waiting;  // handed in, not yet taken by a worker
  std::atomic<bool> m_stop{false};
  std::vector<std::thread> m_workers;
  int m_startError = 0;
};

}  // namespace tavrin::exporter
