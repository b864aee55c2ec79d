// Carries what the check and size workers report to the updater's window.
//
// Workers push events into a shared mailbox and post the window a bare
// notification (no pointer travels with it); the window drains the mailbox
// on its own thread. The mailbox is shared with the workers, so a worker
// that outlives the window posts into a handle that names nothing, and its
// events are simply dropped.

#ifndef QUARRY_UPDATER_APP_CHECK_RELAY_H_
#define QUARRY_UPDATER_APP_CHECK_RELAY_H_

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "platform/window_message.h"
#include "updater/size_pool.h"
#include "updater/update_check.h"

namespace quarry::updater {

// Posted to the window when the mailbox has events; both words 0.
inline constexpr uint32_t WM_UPDATER_RELAY = platform::WM_APP + 0x120;

struct RelayEvent {
  enum class Kind {
    kProgressStart,  // count
    kProgressStep,
    kRow,            // row, record, listed
    kMessage,        // text
    kNotice,         // text
    kOpenPage,       // text
    kCheckDone,      // outcome
    kSize,           // row, bytes
    kSizesDone,      // bytes (the total)
  };
  Kind kind = Kind::kProgressStep;
  int count = 0;
  size_t row = 0;
  UpdateFileRecord record;
  bool listed = false;
  std::string text;
  int64_t bytes = 0;
  std::shared_ptr<const CheckOutcome> outcome;
};

class RelayMailbox {
 public:
  explicit RelayMailbox(platform::WindowHandle window) : window_(window) {}

  // Queues the event and wakes the window when the queue was empty.
  void Push(RelayEvent event);
  // Everything queued so far, oldest first.
  std::deque<RelayEvent> Drain();

 private:
  const platform::WindowHandle window_;
  std::mutex mu_;
  std::deque<RelayEvent> events_;
};

// The check's and the size pool's sink, feeding a mailbox.
class CheckRelay : public CheckSink, public SizeSink {
 public:
  explicit CheckRelay(std::shared_ptr<RelayMailbox> mailbox) : mailbox_(std::move(mailbox)) {}

  void ProgressStart(int count) override;
  void ProgressStep() override;
  void RowChecked(size_t row, const UpdateFileRecord& record, bool listed) override;
  void ShowMessage(const std::string& text) override;
  void ShowNotice(const std::string& text) override;
  void OpenWebPage(const std::string& address) override;
  void SizeKnown(size_t row, int64_t bytes) override;
  void AllSizesKnown(int64_t total_bytes) override;
  void CheckDone(CheckOutcome outcome);

 private:
  std::shared_ptr<RelayMailbox> mailbox_;
};

}  // namespace quarry::updater

#endif  // QUARRY_UPDATER_APP_CHECK_RELAY_H_
