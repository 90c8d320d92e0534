#include "server_check.h"

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "base/socket.h"
#include "verification/http_client.h"

namespace qor::cli {

namespace {

using Clock = std::chrono::steady_clock;

// Joins its threads when it goes, before what they use goes.
struct Workers {
  std::vector<std::thread> threads;
  ~Workers() {
    for (std::thread& thread : threads) {
      if (thread.joinable()) thread.join();
    }
  }
};

TServerReport Ask(THttpClient& client, const std::string& url, TShareCode judge,
                  Clock::time_point start, std::chrono::milliseconds deadline) {
  TServerReport report;
  report.url = url;
  try {
    const std::string body = client.Get(url);
    report.verdict = judge.JudgeResponse(body) ? TVerdict::kVerified : TVerdict::kInvalid;
  } catch (const ESocketCancelled&) {
    report.error =
        "no answer within the check's deadline of " + std::to_string(deadline.count()) + " ms";
  } catch (const std::exception& e) {
    // The HTTP and socket errors of the client: a server's fault never ends the check.
    report.error = e.what();
  } catch (...) {
    report.error = "the request failed";  // nothing may leave a thread
  }
  report.status = client.LastStatusCode();
  report.ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  return report;
}

}  // namespace

std::vector<TServerReport> CheckServers(const std::vector<std::string>& urls,
                                        const TShareCode& checker,
                                        std::chrono::milliseconds deadline,
                                        const std::function<void(const TServerReport&)>& onReport) {
  const Clock::time_point start = Clock::now();
  const Clock::time_point end = start + deadline;
  std::vector<std::unique_ptr<THttpClient>> clients;
  for (const std::string& url : urls) {
    auto client = std::make_unique<THttpClient>();
    // Polled at least every kWaitSliceMs while a request waits: the deadline ends every wait.
    client->KeepWaiting = [end] { return Clock::now() < end; };
    // Started here, on one thread, as setup starts them: the look-ups go to threads of their own,
    // and the platform's sockets are set up before any worker uses them.
    client->ConnectAhead({url});
    clients.push_back(std::move(client));
  }

  std::vector<TServerReport> reports(urls.size());
  std::vector<bool> done(urls.size(), false);
  std::mutex mutex;
  std::condition_variable changed;
  Workers workers;
  for (std::size_t i = 0; i < urls.size(); ++i) {
    workers.threads.emplace_back([&, i] {
      TServerReport report = Ask(*clients[i], urls[i], checker, start, deadline);
      const std::lock_guard<std::mutex> lock(mutex);
      reports[i] = std::move(report);
      done[i] = true;
      changed.notify_all();
    });
  }

  std::unique_lock<std::mutex> lock(mutex);
  for (std::size_t next = 0; next < urls.size(); ++next) {
    changed.wait(lock, [&] { return done[next]; });
    if (onReport) {
      // A report is written once, before its server counts as done: read without the lock.
      lock.unlock();
      onReport(reports[next]);
      lock.lock();
    }
  }
  lock.unlock();
  return reports;
}

}  // namespace qor::cli
