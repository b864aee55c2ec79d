#include "framework/dialog_template.h"

#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <algorithm>

#include "framework/caption_bar.h"
#include "framework/control_appearance.h"
#include "framework/dialog_font.h"
#include "framework/ks_controls.h"
#include "framework/qt_colour.h"

namespace quarry {

namespace {

QWidget* MakeWidget(const DialogItem& item, QWidget* parent) {
  switch (item.kind) {
    case DialogItemKind::kLabel:
    case DialogItemKind::kPushButton:
    case DialogItemKind::kDefPushButton:
    case DialogItemKind::kCheckBox:
    case DialogItemKind::kGroupBox:
      // The system's own controls, through their hosts.
      return CreateTemplateControl(item, parent);
    case DialogItemKind::kEdit:
      return new QLineEdit(item.text, parent);
    case DialogItemKind::kComboBox: {
      auto* combo = new QComboBox(parent);
      if (!item.text.isEmpty()) combo->addItem(item.text);
      return combo;
    }
    case DialogItemKind::kList: {
      auto* frame = new QFrame(parent);
      frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
      frame->setBackgroundRole(QPalette::Base);
      frame->setAutoFillBackground(true);
      return frame;
    }
    case DialogItemKind::kCaptionBar: {
      auto* bar = new CCaptionBar(parent);
      bar->SetText(item.text);
      return bar;
    }
    case DialogItemKind::kPlaceholder:
      return new QWidget(parent);
  }
  return new QWidget(parent);
}

bool NamedByNeighbour(DialogItemKind kind) {
  return kind == DialogItemKind::kEdit || kind == DialogItemKind::kComboBox ||
         kind == DialogItemKind::kList;
}

QString LabelName(const QString& text) {
  QString name = StripMnemonic(text).trimmed();
  if (name.endsWith(QLatin1Char(':'))) name.chop(1);
  return name;
}

QString AccessibleNameFor(const DialogItem& item, const DialogItem* previous) {
  if (!item.accessible_name.isEmpty()) return item.accessible_name;
  if (NamedByNeighbour(item.kind) && previous != nullptr &&
      previous->kind == DialogItemKind::kLabel) {
    const QString name = LabelName(previous->text);
    if (!name.isEmpty()) return name;
  }
  // An edit's or drop-down list's text is its content, not its name.
  if (item.kind != DialogItemKind::kEdit &&
      item.kind != DialogItemKind::kComboBox) {
    const QString name = StripMnemonic(item.text).trimmed();
    if (!name.isEmpty()) return name;
  }
  return QStringLiteral("Control %1").arg(item.id);
}

bool HasMnemonic(const QString& text) {
  for (qsizetype i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == QLatin1Char('&')) {
      if (text[i + 1] != QLatin1Char('&')) return true;
      ++i;
    }
  }
  return false;
}

}  // namespace

QString ControlObjectName(int id) { return QStringLiteral("ctl%1").arg(id); }

QString StripMnemonic(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == QLatin1Char('&')) {
      if (i + 1 < text.size() && text[i + 1] == QLatin1Char('&')) {
        out += QLatin1Char('&');
        ++i;
      }
      continue;
    }
    out += text[i];
  }
  return out;
}

std::vector<QWidget*> CreateDialogControls(const DialogTemplate& tpl,
                                           QWidget* parent,
                                           const DialogBaseUnits& base) {
  std::vector<QWidget*> widgets;
  widgets.reserve(tpl.items.size());
  QWidget* pending_buddy_label = nullptr;
  QString pending_buddy_text;
  const DialogItem* previous = nullptr;

  for (const DialogItem& item : tpl.items) {
    QWidget* widget = MakeWidget(item, parent);
    widget->setObjectName(ControlObjectName(item.id));
    widget->setProperty(kControlIdProperty, item.id);
    QRect geometry = MapDialogRect(item.rect, base);
    // A drop-down list's rectangle reaches down over its opened list; the
    // closed box is only as high as its field.
    if (item.kind == DialogItemKind::kComboBox) {
      geometry.setHeight(std::min(geometry.height(), widget->sizeHint().height()));
    }
    if (CKsControlHost* host = HostOf(widget)) {
      host->MoveWindow(geometry);  // a control may raise it to its minimums
    } else {
      widget->setGeometry(geometry);
    }
    widget->setAccessibleName(AccessibleNameFor(item, previous));

    if (pending_buddy_label != nullptr && widget->focusPolicy() != Qt::NoFocus) {
      if (auto* label = qobject_cast<CKsStaticCtrl*>(HostOf(pending_buddy_label))) {
        label->SetBuddy(widget, pending_buddy_text);
      }
      pending_buddy_label = nullptr;
    }
    if (item.kind == DialogItemKind::kLabel && HasMnemonic(item.text)) {
      pending_buddy_label = widget;
      pending_buddy_text = item.text;
    }
    // A group box frames controls drawn over it; it must never cover them,
    // whatever order the table lists them in.
    if (item.kind == DialogItemKind::kGroupBox) widget->lower();

    widgets.push_back(widget);
    previous = &item;
  }
  return widgets;
}

std::vector<QWidget*> BuildDialogFromTemplate(QWidget* dialog, const DialogTemplate& tpl) {
  dialog->setFont(DialogFont());
  const DialogBaseUnits base = BaseUnitsOf(dialog->font());
  dialog->setObjectName(QStringLiteral("dlg%1").arg(tpl.id));
  dialog->setWindowTitle(tpl.title);
  dialog->setAccessibleName(tpl.title);
  dialog->setFixedSize(MapDialogSize(QSize(tpl.width, tpl.height), base));
  std::vector<QWidget*> controls = CreateDialogControls(tpl, dialog, base);
  InstallDesktopSystemColours();
  CColourScheme scheme;
  scheme.EnsureDerived();
  ApplyUserControlAppearance(dialog, controls, scheme);
  InstallDialogBackground(dialog, scheme);
  return controls;
}

}  // namespace quarry
