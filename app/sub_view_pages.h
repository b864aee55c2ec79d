// The three sub-views of the main view: Web Browser, Table Results and
// Configurations. Each is a child form laid exactly over the main view's
// content area; the main view shows one at a time and relays the hub's
// messages to them.
//
// The base carries what the main view relies on (initialisation, hub
// registration, growing with the view, their captions); each view builds
// its own controls from its dialog template.

#ifndef QUARRY_APP_SUB_VIEW_PAGES_H_
#define QUARRY_APP_SUB_VIEW_PAGES_H_

#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "framework/ks_dialog.h"
#include "platform/window_message.h"

namespace quarry {

class CAppSettings;
class CQuarryView;

// What the three pages share. The page belongs to the main view (its Qt
// parent) and lives as long as it; it leaves the hub when destroyed.
class CSubViewPage : public CKsDialog, public platform::MessageWindow {
  Q_OBJECT

 public:
  ~CSubViewPage() override;

  // Once only (a later call returns true at once): lays the page over
  // `content_area` as a child of `view`, and registers it with the hub of
  // `settings`. `view`, `content_area` and `settings` must outlive the
  // page. Returns false when the hub had no free slot; the page then works
  // but hears no broadcasts.
  virtual bool Init(CQuarryView* view, QWidget* content_area,
                    CAppSettings* settings);
  bool IsInitialised() const { return initialised_; }

  // Grows the page by dx and dy, keeping its top-left corner.
  virtual void GrowBy(int dx, int dy);

  // The name the main view's caption bar shows while this page is shown.
  virtual QString Caption() const = 0;

  // The command that shows this page; help for the page is filed under it.
  virtual int CommandId() const = 0;

  // The parts of the page that F6 and Shift+F6 move the focus between, in
  // order; the page itself when it has no finer parts.
  virtual std::vector<QWidget*> Panes();

 signals:
  // A hub message arrived (after the page has handled it).
  void hubMessage(uint32_t message, quintptr wparam, qintptr lparam);

 protected:
  explicit CSubViewPage(const DialogTemplate& tpl);

  intptr_t WindowProc(uint32_t message, uintptr_t wparam,
                      intptr_t lparam) override;
  // Handles one hub message; the default handles none.
  virtual void OnHubMessage(uint32_t message, uintptr_t wparam, intptr_t lparam);

  CQuarryView* view_ = nullptr;
  CAppSettings* settings_ = nullptr;

 private:
  bool initialised_ = false;
  bool registered_ = false;
};

}  // namespace quarry

#endif  // QUARRY_APP_SUB_VIEW_PAGES_H_
