#include "framework/control_appearance.h"

#include <QEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QWidget>

#include "controls/common/dispatch_ids.h"
#include "framework/ks_controls.h"
#include "framework/qt_colour.h"
#include "platform/settings_store.h"

namespace quarry {

namespace {

// How far the top of the background leans from the face colour towards
// the scheme's palest tint; the bottom is the plain face. Kept small so
// the controls' own colours stay in charge.
constexpr double kBackgroundTint = 0.55;

// A face of 0 is a "no colour" to older controls; nearly black is black.
constexpr COLORREF kBlackFace = 0x050505;
constexpr COLORREF kWhite = 0xFFFFFF;

using com::Variant;

// Paints its dialog's background as the dialog's paint events arrive,
// before the dialog paints.
class DialogBackground final : public QObject {
 public:
  DialogBackground(QWidget* dialog, const CColourScheme& scheme)
      : QObject(dialog), scheme_(scheme) {
    dialog->installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && watched == parent()) {
      auto* dialog = static_cast<QWidget*>(watched);
      QPainter painter(dialog);
      PaintDialogBackground(painter, dialog->rect(), scheme_);
    }
    return false;
  }

 private:
  const CColourScheme scheme_;
};

}  // namespace

ControlColours ColoursFor(const CColourScheme& scheme, COLORREF text) {
  ControlColours c;
  c.button_face = scheme.Base() == 0 ? kBlackFace : scheme.Base();
  c.text_highlight = scheme.HighlightDefault();
  c.face = scheme.Face();
  c.text = text;
  c.rule = scheme.Base();
  c.frame_border = scheme.Dark1();
  c.header_upper = scheme.Base();
  c.header_lower = scheme.Dark2();
  c.inner_lower = scheme.Light1();
  c.caption = kWhite;
  return c;
}

void ApplyControlAppearance(const std::vector<QWidget*>& widgets, const ControlColours& colours,
                            const controls::ControlStyleSettings& styles, const QFont& font) {
  for (QWidget* widget : widgets) {
    CKsControlHost* host = HostOf(widget);
    if (host == nullptr || !host->IsModuleControl()) continue;
    host->SetControlFont(font);
    host->SetBackColour(colours.face);
    if (qobject_cast<CKsButtonCtrl*>(host) != nullptr) {
      using namespace controls::button_id;
      host->SetProperty(kColorTextHighlight, Variant::Colour(colours.text_highlight));
      host->SetProperty(kColorBtnFace, Variant::Colour(colours.button_face));
      host->SetProperty(kStyle, Variant::Int(static_cast<int32_t>(styles.button_style)));
      host->SetProperty(kButtonSides, Variant::Int(static_cast<int32_t>(styles.button_sides)));
    } else if (qobject_cast<CKsCheckCtrl*>(host) != nullptr) {
      host->SetProperty(controls::check_id::kColorCheckFace, Variant::Colour(colours.button_face));
      host->SetForeColour(colours.text);
    } else if (qobject_cast<CKsStaticCtrl*>(host) != nullptr) {
      using namespace controls::static_id;
      const bool link = host->GetProperty(kWebLink).value_or(Variant()).ToBool().value_or(false);
      const bool line = host->GetProperty(kLine).value_or(Variant()).ToBool().value_or(false);
      if (!link) host->SetForeColour(line ? colours.rule : colours.text);
    } else if (qobject_cast<CKsGroupCtrl*>(host) != nullptr) {
      using namespace controls::group_id;
      // A stored style the control does not know is refused by it.
      host->SetProperty(kGroupStyle, Variant::Int(static_cast<int32_t>(styles.group_style)));
      host->SetProperty(kColorBackGround, Variant::Colour(colours.header_upper));
      host->SetProperty(kColorBorder, Variant::Colour(colours.frame_border));
      host->SetProperty(kColorHeaderBackgroundUpper, Variant::Colour(colours.header_upper));
      host->SetProperty(kColorHeaderBackgroundLower, Variant::Colour(colours.header_lower));
      host->SetProperty(kColorHeaderSeparator, Variant::Colour(colours.header_upper));
      host->SetProperty(kColorInnerBackgroundLower, Variant::Colour(colours.inner_lower));
      host->SetForeColour(colours.caption);
    }
  }
}

void InstallDialogBackground(QWidget* dialog, const CColourScheme& scheme) {
  new DialogBackground(dialog, scheme);
}

void ApplyUserControlAppearance(QWidget* dialog, const std::vector<QWidget*>& widgets,
                                const CColourScheme& scheme) {
  ApplyControlAppearance(
      widgets, ColoursFor(scheme, FromQColor(dialog->palette().color(QPalette::WindowText))),
      controls::ReadControlStyleSettings(platform::SettingsStore::User()), dialog->font());
}

void PaintDialogBackground(QPainter& painter, const QRect& rect, const CColourScheme& scheme) {
  const QColor face = ToQColor(scheme.Face());
  const QColor tint =
      ToQColor(CColourScheme::Blend(scheme.Face(), scheme.Pale2(), kBackgroundTint));
  QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
  gradient.setColorAt(0.0, tint);
  gradient.setColorAt(1.0, face);
  painter.fillRect(rect, gradient);
}

}  // namespace quarry
