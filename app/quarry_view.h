// CQuarryView: the main program's one view. It fills the frame's client
// area with a caption bar naming the current sub-view and, below it, one of
// the three sub-views (Web Browser, Table Results, Configurations). It is
// the owner window of the settings hub: the sub-views post to it and it
// relays to them. It also carries out the Help menu's commands.

#ifndef QUARRY_APP_QUARRY_VIEW_H_
#define QUARRY_APP_QUARRY_VIEW_H_

#include <QSize>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>

#include "app/help_links.h"
#include "app/link_opener.h"
#include "platform/window_message.h"

class QResizeEvent;

namespace quarry {

class CAppSettings;
class CCaptionBar;
class CMainFrame;
class CQuarryDoc;
class CSubViewPage;
class CViewConfigurations;
class CViewTableResults;
class CViewWebBrowser;

class CQuarryView : public QWidget, public platform::MessageWindow {
  Q_OBJECT

 public:
  // Timer 21: the first update check, 5 seconds after start-up.
  static constexpr uintptr_t kUpdateCheckTimer = 21;
  static constexpr unsigned kUpdateCheckDelayMs = 5000;

  enum class SubView { kNone, kWebBrowser, kTableResults, kConfigurations };

  // A view of `document` inside `frame` (its Qt parent, which owns it).
  // Both must outlive the view. Nothing is created before OnInitialUpdate().
  CQuarryView(CQuarryDoc* document, CMainFrame* frame);
  // Writes "NewUser" = 0 and deletes the sub-views.
  ~CQuarryView() override;

  // The first call builds the view: becomes the hub's owner, creates and
  // registers the three sub-views, applies the favourites display mode,
  // fits the frame to the form and shows the Web Browser view. Later calls
  // do nothing.
  void OnInitialUpdate();
  bool IsInitialised() const { return initialised_; }

  // Carries out a command of the menus, toolbar or notification-area menu;
  // false when it is not one of the view's (the frame then tries).
  bool OnCommand(int id);
  // Whether the view would act on `id` now (greys out what it cannot do).
  bool CanHandleCommand(int id) const;

  // Shows one sub-view and hides the others; the caption bar names it.
  // A sub-view that does not exist is skipped.
  void ShowSubView(SubView which);
  SubView CurrentSubView() const { return current_; }
  CSubViewPage* CurrentPage() const;
  QString CaptionText() const;

  CCaptionBar* CaptionBar() const { return caption_bar_; }
  QWidget* ContentArea() const { return content_area_; }
  CViewWebBrowser* WebBrowser() const { return web_browser_; }
  CViewTableResults* TableResults() const { return table_results_; }
  CViewConfigurations* Configurations() const { return configurations_; }
  CAppSettings* Settings() const { return settings_; }

  // The form's size: 369 x 271 dialog units.
  QSize sizeHint() const override;

  // False until the favourites have been loaded; the view shows the wait
  // cursor meanwhile.
  bool IsReady() const { return ready_; }

  // Opens one of the maker's pages: in the Web Browser view when
  // "UseInternalBrowser" is 1 (which is then shown), else in the user's
  // browser.
  void OpenLink(const std::string& address);
  // Opens an address in the user's own program on a worker thread; a
  // failure is reported in a message box.
  void OpenExternally(const std::string& address);
  // Opens the help pages at `context` (0: the contents) in the user's
  // browser.
  void OpenHelp(uint32_t context);
  // The help context of what is shown now.
  uint32_t CurrentHelpContext() const;
  // Writes to the maker's support or suggestion mailbox.
  void SendSupportMail(SupportMode mode);

  // Moves the keyboard focus to the next (or previous) part of the shown
  // sub-view.
  void FocusNextPane(bool forward);

  // Seams for the parts that arrive later. Each may be empty.
  // The update check: started by timer 21 after start-up and by "Check for
  // Updates" (which stays greyed out while there is none).
  void SetUpdateCheck(std::function<void(bool manual)> check);
  // Releases the link to the updater when it says it may close.
  void SetUpdaterRelease(std::function<void()> release);
  // The support dialog for "Report a Bug" and "Make a Suggestion"; without
  // one they open a new mail in the user's mail program.
  void SetSupportDialog(std::function<void(SupportMode)> dialog);
  // Where messages for the user go; the default is a message box.
  void SetMessageSink(std::function<void(const QString&)> sink);

 signals:
  // A sub-view was shown, with its caption.
  void subViewShown(const QString& caption);

 protected:
  intptr_t WindowProc(uint32_t message, uintptr_t wparam,
                      intptr_t lparam) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void CreateSubViews();
  void ApplyFavoritesMode();
  void FitFrameToForm();
  void LayOutChildren();
  void ApplySizeDifference(const QSize& size);
  void ShowMessage(const QString& text);

  CQuarryDoc* document_;
  CMainFrame* frame_;
  CAppSettings* settings_ = nullptr;

  CCaptionBar* caption_bar_ = nullptr;
  QWidget* content_area_ = nullptr;
  CViewWebBrowser* web_browser_ = nullptr;
  CViewTableResults* table_results_ = nullptr;
  CViewConfigurations* configurations_ = nullptr;
  SubView current_ = SubView::kNone;

  bool initialised_ = false;
  bool ready_ = false;
  QSize last_size_;
  bool last_size_recorded_ = false;

  std::function<void(bool)> update_check_;
  std::function<void()> updater_release_;
  std::function<void(SupportMode)> support_dialog_;
  std::function<void(const QString&)> message_sink_;

  // Declared last: destroyed first, so no opener reports to a view that is
  // being torn down.
  LinkOpener link_opener_;
};

}  // namespace quarry

#endif  // QUARRY_APP_QUARRY_VIEW_H_
