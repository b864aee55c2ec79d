#include "app/app_icons.h"

#include <QFile>
#include <QString>

#include "framework/command_ids.h"

// Resources of a static library must be registered by hand.
static void InitQuarryResources() { Q_INIT_RESOURCE(quarry); }

namespace quarry {

namespace {

QIcon IconFromSizes(const char* name, std::initializer_list<int> sizes) {
  static const bool registered = (InitQuarryResources(), true);
  (void)registered;
  QIcon icon;
  for (int size : sizes) {
    const QString path = QStringLiteral(":/quarry/icons/%1-%2.png")
                             .arg(QLatin1String(name))
                             .arg(size);
    if (QFile::exists(path)) icon.addFile(path, QSize(size, size));
  }
  return icon;
}

}  // namespace

QIcon AppIcon() {
  static const QIcon icon =
      IconFromSizes("quarry", {16, 22, 24, 32, 48, 64, 128, 256});
  return icon;
}

QIcon CommandIcon(int id) {
  switch (id) {
    case cmd::kWebBrowser:
      return IconFromSizes("web-browser", {16, 22, 32, 44});
    case cmd::kTableResults:
      return IconFromSizes("table-results", {16, 22, 32, 44});
    case cmd::kConfigurations:
      return IconFromSizes("configurations", {16, 22, 32, 44});
    case cmd::kContextHelp:
      return IconFromSizes("help", {16, 22, 32, 44});
    case cmd::kHelpFinder:
      return IconFromSizes("help-topics", {16, 32});
    case cmd::kCheckForUpdates:
      return IconFromSizes("check-updates", {16, 32});
    case cmd::kCompanySite:
      return IconFromSizes("company-online", {16, 32});
    case cmd::kOnlineFaq:
      return IconFromSizes("online-faq", {16, 32});
    case cmd::kCurrentIssues:
      return IconFromSizes("current-issues", {16, 32});
    case cmd::kReportBug:
      return IconFromSizes("report-bug", {16, 32});
    case cmd::kMakeSuggestion:
      return IconFromSizes("make-suggestion", {16, 32});
    case cmd::kAppAbout:
      return AppIcon();
    default:
      return {};
  }
}

}  // namespace quarry
