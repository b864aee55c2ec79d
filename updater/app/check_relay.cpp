#include "updater/app/check_relay.h"

namespace quarry::updater {

void RelayMailbox::Push(RelayEvent event) {
  bool wake = false;
  {
    std::lock_guard lock(mu_);
    wake = events_.empty();
    events_.push_back(std::move(event));
  }
  if (wake) platform::PostMessage(window_, WM_UPDATER_RELAY);
}

std::deque<RelayEvent> RelayMailbox::Drain() {
  std::lock_guard lock(mu_);
  return std::exchange(events_, {});
}

void CheckRelay::ProgressStart(int count) {
  RelayEvent e;
  e.kind = RelayEvent::Kind::kProgressStart;
  e.count = count;
  mailbox_->Push(std::move(e));
}

namespace {

RelayEvent Event(RelayEvent::Kind kind, std::string text = {}) {
  RelayEvent e;
  e.kind = kind;
  e.text = std::move(text);
  return e;
}

}  // namespace

void CheckRelay::ProgressStep() { mailbox_->Push(Event(RelayEvent::Kind::kProgressStep)); }

void CheckRelay::RowChecked(size_t row, const UpdateFileRecord& record, bool listed) {
  RelayEvent e;
  e.kind = RelayEvent::Kind::kRow;
  e.row = row;
  e.record = record;
  e.listed = listed;
  mailbox_->Push(std::move(e));
}

void CheckRelay::ShowMessage(const std::string& text) {
  mailbox_->Push(Event(RelayEvent::Kind::kMessage, text));
}

void CheckRelay::ShowNotice(const std::string& text) {
  mailbox_->Push(Event(RelayEvent::Kind::kNotice, text));
}

void CheckRelay::OpenWebPage(const std::string& address) {
  mailbox_->Push(Event(RelayEvent::Kind::kOpenPage, address));
}

void CheckRelay::SizeKnown(size_t row, int64_t bytes) {
  RelayEvent e = Event(RelayEvent::Kind::kSize);
  e.row = row;
  e.bytes = bytes;
  mailbox_->Push(std::move(e));
}

void CheckRelay::AllSizesKnown(int64_t total_bytes) {
  RelayEvent e = Event(RelayEvent::Kind::kSizesDone);
  e.bytes = total_bytes;
  mailbox_->Push(std::move(e));
}

void CheckRelay::CheckDone(CheckOutcome outcome) {
  RelayEvent e;
  e.kind = RelayEvent::Kind::kCheckDone;
  e.outcome = std::make_shared<const CheckOutcome>(std::move(outcome));
  mailbox_->Push(std::move(e));
}

}  // namespace quarry::updater
