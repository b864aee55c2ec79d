#include "controls/common/property_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "controls/common/control_base.h"
#include "controls/common/module_identity.h"

namespace quarry::controls {

namespace {

constexpr AlignmentChoice kAlignments[] = {
    {0, "Top Left"},    {1, "Top Center"},    {2, "Top Right"},
    {4, "Middle Left"}, {5, "Middle Center"}, {6, "Middle Right"},
};

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString Name(const PageField& field) {
  QString name = Text(field.label);
  name.remove(QLatin1Char('&'));
  if (name.endsWith(QLatin1Char(':'))) name.chop(1);
  return name;
}

}  // namespace

std::span<const AlignmentChoice> AlignmentChoices() { return kAlignments; }

CKsPropertyPage::CKsPropertyPage(std::span<const PageField> fields) : fields_(fields) {
  ModuleUsage::ObjectCreated();
}

CKsPropertyPage::~CKsPropertyPage() {
  delete window_.data();
  ModuleUsage::ObjectDestroyed();
}

com::HRESULT CKsPropertyPage::QueryInterface(const com::Guid& iid, void** out) {
  if (out == nullptr) return com::E_POINTER;
  if (iid == com::IID_IUnknown || iid == com::IID_IPropertyPage) {
    AddRef();
    *out = static_cast<com::IPropertyPage*>(this);
    return com::S_OK;
  }
  *out = nullptr;
  return com::E_NOINTERFACE;
}

uint32_t CKsPropertyPage::AddRef() { return ++refs_; }

uint32_t CKsPropertyPage::Release() {
  const uint32_t left = --refs_;
  if (left == 0) delete this;
  return left;
}

com::HRESULT CKsPropertyPage::SetObject(com::IDispatch* object) {
  object_ = com::ComPtr<com::IDispatch>::Share(object);
  return com::S_OK;
}

std::string CKsPropertyPage::Title() { return std::string(kPageCaption); }

QWidget* CKsPropertyPage::CreatePageWindow(QWidget* parent) {
  if (window_ != nullptr) return nullptr;
  auto* page = new QWidget(parent);
  page->setObjectName(QStringLiteral("propertyPage"));
  page->setWindowTitle(QString::fromStdString(Title()));
  page->setAccessibleName(page->windowTitle());
  auto* form = new QFormLayout(page);
  for (const PageField& field : fields_) {
    com::Variant value;
    if (object_) com::GetPropertyByName(object_.get(), field.property, &value);
    QWidget* editor = nullptr;
    switch (field.kind) {
      case PageFieldKind::kEdit: {
        auto* edit = new QLineEdit(QString::fromStdString(value.ToString().value_or("")), page);
        editor = edit;
        break;
      }
      case PageFieldKind::kMultiLineEdit: {
        auto* edit =
            new QPlainTextEdit(QString::fromStdString(value.ToString().value_or("")), page);
        edit->setTabChangesFocus(true);
        edit->setFixedHeight(edit->fontMetrics().lineSpacing() * 4);
        editor = edit;
        break;
      }
      case PageFieldKind::kCheck: {
        auto* check = new QCheckBox(Text(field.label), page);
        check->setChecked(value.ToBool().value_or(false));
        editor = check;
        break;
      }
      case PageFieldKind::kAlignmentList: {
        auto* list = new QComboBox(page);
        const int32_t flags = value.ToInt().value_or(0);
        for (const AlignmentChoice& choice : kAlignments) {
          list->addItem(Text(choice.name), choice.flags);
          if (choice.flags == flags) list->setCurrentIndex(list->count() - 1);
        }
        editor = list;
        break;
      }
    }
    editor->setObjectName(QStringLiteral("ctl%1").arg(field.id));
    editor->setAccessibleName(Name(field));
    if (field.kind == PageFieldKind::kCheck) {
      form->addRow(editor);
    } else {
      auto* label = new QLabel(Text(field.label), page);
      label->setBuddy(editor);
      form->addRow(label, editor);
    }
  }
  window_ = page;
  return page;
}

com::HRESULT CKsPropertyPage::Apply() {
  if (!object_ || window_ == nullptr) return com::E_UNEXPECTED;
  com::HRESULT first = com::S_OK;
  for (const PageField& field : fields_) {
    QWidget* editor = window_->findChild<QWidget*>(QStringLiteral("ctl%1").arg(field.id));
    com::Variant value;
    if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
      value = com::Variant::String(edit->text().toStdString());
    } else if (auto* text = qobject_cast<QPlainTextEdit*>(editor)) {
      value = com::Variant::String(text->toPlainText().toStdString());
    } else if (auto* check = qobject_cast<QCheckBox*>(editor)) {
      value = com::Variant::Bool(check->isChecked());
    } else if (auto* list = qobject_cast<QComboBox*>(editor)) {
      value = com::Variant::Int(list->currentData().toInt());
    } else {
      continue;
    }
    const com::HRESULT hr = com::PutPropertyByName(object_.get(), field.property, value);
    if (com::Failed(hr) && com::Succeeded(first)) first = hr;
  }
  return first;
}

}  // namespace quarry::controls
