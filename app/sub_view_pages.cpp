#include "app/sub_view_pages.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/app_icons.h"
#include "app/app_settings.h"
#include "framework/command_ids.h"

namespace quarry {

CSubViewPage::CSubViewPage(const DialogTemplate& tpl, const QString& notice_title,
                           const QString& notice_text, int icon_command)
    : CKsDialog(tpl) {
  hide();
  // A notice card in the middle of the page, of a width that reads well.
  auto* card = new QWidget(this);
  card->setAccessibleName(QStringLiteral("Notice"));
  card->setFixedWidth(420);
  auto* card_layout = new QVBoxLayout(card);
  card_layout->setContentsMargins(0, 0, 0, 0);
  card_layout->setSpacing(8);

  auto* icon = new QLabel(card);
  icon->setPixmap(CommandIcon(icon_command).pixmap(QSize(44, 44)));
  icon->setAlignment(Qt::AlignHCenter);
  icon->setFixedHeight(48);
  icon->setAccessibleName(tpl.title);
  card_layout->addWidget(icon);

  auto* title = new QLabel(notice_title, card);
  QFont title_font = title->font();
  title_font.setBold(true);
  title_font.setPointSizeF(title_font.pointSizeF() * 1.35);
  title->setFont(title_font);
  title->setAlignment(Qt::AlignHCenter);
  title->setAccessibleName(notice_title);
  card_layout->addWidget(title);

  auto* text = new QLabel(notice_text, card);
  text->setWordWrap(true);
  text->setAlignment(Qt::AlignHCenter);
  text->setAccessibleName(notice_text);
  text->setForegroundRole(QPalette::PlaceholderText);
  card_layout->addWidget(text);

  detail_ = new QLabel(card);
  detail_->setWordWrap(true);
  detail_->setAlignment(Qt::AlignHCenter);
  detail_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  detail_->hide();
  card_layout->addSpacing(4);
  card_layout->addWidget(detail_);

  // Centred by stretches rather than by alignment, so that the wrapped
  // texts get the height their width needs.
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(card);
  row->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 24, 24, 24);
  layout->addStretch(3);
  layout->addLayout(row);
  layout->addStretch(4);
}

CSubViewPage::~CSubViewPage() {
  // Nothing may reach a page that is being torn down.
  DestroyWindow();
  if (registered_ && settings_ != nullptr) {
    settings_->UnregisterWindow(Handle());
  }
}

bool CSubViewPage::Init(CQuarryView* view, QWidget* content_area,
                        CAppSettings* settings) {
  if (initialised_) return true;
  view_ = view;
  settings_ = settings;
  if (content_area != nullptr) {
    setParent(content_area->parentWidget());
    setGeometry(content_area->geometry());
  }
  registered_ = settings_ != nullptr && settings_->RegisterWindow(Handle());
  initialised_ = true;
  return registered_;
}

void CSubViewPage::GrowBy(int dx, int dy) {
  resize(std::max(0, width() + dx), std::max(0, height() + dy));
}

std::vector<QWidget*> CSubViewPage::Panes() { return {this}; }

intptr_t CSubViewPage::WindowProc(uint32_t message, uintptr_t wparam,
                                  intptr_t lparam) {
  OnHubMessage(message, wparam, lparam);
  emit hubMessage(message, wparam, lparam);
  return 0;
}

void CSubViewPage::OnHubMessage(uint32_t, uintptr_t, intptr_t) {}

void CSubViewPage::SetNoticeDetail(const QString& text) {
  detail_->setText(text);
  detail_->setAccessibleName(text);
  detail_->setVisible(!text.isEmpty());
}

}  // namespace quarry
