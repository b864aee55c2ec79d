// CCaptionBar: the gradient bar across the top of a view that names what
// the view shows. Painted by hand (a horizontal gradient in the scheme's
// colours, bold text), and exposed to assistive technology as static text
// whose name is the bar's text.

#ifndef QUARRY_FRAMEWORK_CAPTION_BAR_H_
#define QUARRY_FRAMEWORK_CAPTION_BAR_H_

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

#include "framework/colour/colour_ref.h"
#include "framework/colour/colour_scheme.h"

namespace quarry {

class CCaptionBar : public QWidget {
  Q_OBJECT
  Q_PROPERTY(QString text READ Text WRITE SetText)

 public:
  // Starts with no text, the colours of a scheme derived from the user's
  // appearance settings and the default caption font in bold.
  explicit CCaptionBar(QWidget* parent = nullptr);
  ~CCaptionBar() override;

  // The text is also the accessible name.
  void SetText(const QString& text);
  QString Text() const { return text_; }

  // A gradient from `start` (left) to `end` (right). The text colour
  // follows the caption rule (black on a background with a grey value of
  // 90 or more, else white) applied to `start`, which is what the text is
  // drawn on, unless SetTextColour() fixed one.
  void SetColours(COLORREF start, COLORREF end);
  // The scheme's own caption: from its base to its lightest shade, with
  // the text colour of its base.
  void SetColours(const CColourScheme& scheme);
  // Fixes the text colour; SetColours() no longer changes it.
  void SetTextColour(COLORREF colour);

  QColor StartColour() const { return start_; }
  QColor EndColour() const { return end_; }
  QColor TextColour() const { return text_colour_; }

  // The bar's own font (the text is drawn in it as given).
  void SetFont(const QFont& font);

  // As high as 11 dialog units of the parent's font, and never lower than
  // the caption font needs.
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
  QColor start_;
  QColor end_;
  QColor text_colour_;
  bool text_colour_fixed_ = false;
};

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_CAPTION_BAR_H_
