#include "updater/app/updater_dialogs.h"

#include <ctime>

#include "updater/update_check.h"

namespace quarry::updater {

const DialogTemplate& UpdaterDialogTemplate() {
  static const DialogTemplate tpl = [] {
    DialogTemplate t;
    t.id = 102;
    t.title = UpdaterTitle();
    t.width = 257;
    t.height = 215;
    t.items = {
        {kIdNotice, DialogItemKind::kLabel, QRect(7, 7, 238, 9), QString(), QStringLiteral("Notice")},
        {kIdLastCheck, DialogItemKind::kLabel, QRect(12, 7, 184, 10), QStringLiteral("Last Update...")},
        {kIdFileList, DialogItemKind::kPlaceholder, QRect(7, 18, 243, 170), QString(),
         QStringLiteral("Files")},
        {kIdProgress, DialogItemKind::kPlaceholder, QRect(7, 194, 183, 14), QString(),
         QStringLiteral("Progress")},
        {kIdUpdate, DialogItemKind::kPushButton, QRect(138, 194, 52, 14), QStringLiteral("Update")},
        {kIdOk, DialogItemKind::kDefPushButton, QRect(198, 194, 52, 14), QStringLiteral("OK")},
    };
    return t;
  }();
  return tpl;
}

QString LastCheckText(uint32_t last_update) {
  if (last_update == 0) return QStringLiteral("Last Update Check: Never");
  const std::time_t when = static_cast<std::time_t>(last_update);
  std::tm local{};
  localtime_r(&when, &local);
  // "%#d" is the day without a leading zero; strftime spells that "%-d".
  char text[128];
  if (std::strftime(text, sizeof text, "Last Update Check: %B %-d, %Y", &local) == 0) {
    return QStringLiteral("Last Update Check: Never");
  }
  return QString::fromLocal8Bit(text);
}

QString UpdaterTitle() { return QString::asprintf(kTitleFormat, kUpdaterVersion); }

}  // namespace quarry::updater
