// The "General" property page of the four modules: a small form with a
// caption edit (control 201) and, per control, a few more fields, each
// bound to a property of the control by name. The page reads the values
// when its window is made and writes them back on Apply.

#ifndef QUARRY_CONTROLS_COMMON_PROPERTY_PAGE_H_
#define QUARRY_CONTROLS_COMMON_PROPERTY_PAGE_H_

#include <QPointer>
#include <QWidget>
#include <atomic>
#include <span>
#include <string_view>

#include "platform/control_interfaces.h"

namespace quarry::controls {

enum class PageFieldKind {
  kEdit,           // one line of text
  kMultiLineEdit,  // several lines
  kCheck,          // a boolean
  kAlignmentList,  // a drop-down list of the label's text alignments
};

struct PageField {
  int id;
  PageFieldKind kind;
  std::string_view label;     // "&Caption:"; a check box's own text
  std::string_view property;  // the dispatch name it is bound to
};

class CKsPropertyPage final : public com::IPropertyPage {
 public:
  // `fields` must outlive the page (the modules pass static tables).
  explicit CKsPropertyPage(std::span<const PageField> fields);

  com::HRESULT QueryInterface(const com::Guid& iid, void** out) override;
  uint32_t AddRef() override;
  uint32_t Release() override;

  com::HRESULT SetObject(com::IDispatch* object) override;
  QWidget* CreatePageWindow(QWidget* parent) override;
  // Writes every field; the first failure's code is returned, the other
  // fields are still written.
  com::HRESULT Apply() override;
  std::string Title() override;

 private:
  ~CKsPropertyPage() override;

  std::span<const PageField> fields_;
  std::atomic<uint32_t> refs_{1};
  com::ComPtr<com::IDispatch> object_;
  QPointer<QWidget> window_;
};

// The alignment choices of the label's page, in list order: the text
// format flags (1 centred, 2 right, 4 centred vertically) and their names.
struct AlignmentChoice {
  int32_t flags;
  std::string_view name;
};
std::span<const AlignmentChoice> AlignmentChoices();

}  // namespace quarry::controls

#endif  // QUARRY_CONTROLS_COMMON_PROPERTY_PAGE_H_
