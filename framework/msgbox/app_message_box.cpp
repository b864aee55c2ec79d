#include "framework/msgbox/app_message_box.h"

#include <QApplication>

#include "framework/msgbox/ks_message_box.h"
#include "framework/string_table.h"

namespace quarry {

namespace {

MessageBoxHook& Hook() {
  static MessageBoxHook hook;
  return hook;
}

}  // namespace

void SetMessageBoxHook(MessageBoxHook hook) { Hook() = std::move(hook); }

bool HasMessageBoxHook() { return static_cast<bool>(Hook()); }

QWidget* MessageBoxParent(QWidget* fallback) {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  if (QWidget* active = QApplication::activeWindow()) return active;
  return fallback;
}

int AppMessageBox(const QString& text, uint32_t style, int help_id) {
  // A copy: the hook may be replaced while its box is open.
  if (MessageBoxHook hook = Hook()) return hook(text, style, help_id);
  CKsMessageBox box(MessageBoxParent(), text, QString(), style, help_id);
  return box.DoModal();
}

int AppMessageBox(int string_id, uint32_t style, int help_id) {
  return AppMessageBox(StringTable::Get(string_id), style, help_id == -1 ? string_id : help_id);
}

}  // namespace quarry
