#include "framework/msgbox/message_box_layout.h"

#include <algorithm>
#include <cmath>

namespace quarry {

int GrownExtent(int extent, double factor, int minimum, int margin) {
  // 100 * 1.1 is a hair above 110 in binary; that hair is not a pixel.
  const int grown = static_cast<int>(std::ceil(extent * factor - 1e-9));
  return std::max(grown, minimum) + 2 * margin;
}

MessageBoxLayout LayOutMessageBox(const MessageBoxMeasures& m) {
  const int margin_x = DialogXToPixels(8, m.base);
  const int margin_y = DialogYToPixels(8, m.base);
  const int gap = DialogXToPixels(4, m.base);

  const int icon_space = m.icon.isEmpty() ? 0 : m.icon.width() + margin_x;
  const int top_width = icon_space + m.text.width();
  const int top_height = std::max(m.icon.isEmpty() ? 0 : m.icon.height(), m.text.height());
  const int count = std::max(m.button_count, 0);
  const int row_width = count == 0 ? 0 : count * m.button.width() + (count - 1) * gap;
  const bool has_check = !m.check.isEmpty();
  const int content_width =
      std::max({top_width, has_check ? m.check.width() : 0, row_width, m.min_width, 0});

  MessageBoxLayout layout;
  if (!m.icon.isEmpty()) layout.icon = QRect(QPoint(margin_x, margin_y), m.icon);
  // A text shorter than the icon sits at the icon's middle.
  const int text_drop = m.text.height() < top_height ? (top_height - m.text.height()) / 2 : 0;
  layout.text = QRect(QPoint(margin_x + icon_space, margin_y + text_drop), m.text);

  int bottom = margin_y + top_height;
  int row_x = margin_x + (m.right_align_buttons ? content_width - row_width
                                                : (content_width - row_width) / 2);
  int row_y = 0;
  layout.check_shares_button_line =
      has_check && m.check.width() + gap + row_width + kShareLineSpare <= content_width;
  if (layout.check_shares_button_line) {
    const int line_y = bottom + margin_y;
    const int line_height = std::max(m.check.height(), m.button.height());
    layout.check =
        QRect(QPoint(margin_x, line_y + (line_height - m.check.height()) / 2), m.check);
    row_y = line_y + (line_height - m.button.height()) / 2;
    if (!m.right_align_buttons) {
      // Centred in the room the check box leaves.
      const int room_x = margin_x + m.check.width() + gap;
      row_x = room_x + (margin_x + content_width - room_x - row_width) / 2;
    }
    bottom = line_y + line_height;
  } else {
    if (has_check) {
      layout.check = QRect(QPoint(margin_x, bottom + margin_y), m.check);
      bottom = layout.check.bottom() + 1;
    }
    row_y = bottom + margin_y;
    bottom = row_y + (count == 0 ? 0 : m.button.height());
  }
  for (int i = 0; i < count; ++i) {
    layout.buttons.emplace_back(QPoint(row_x + i * (m.button.width() + gap), row_y), m.button);
  }
  layout.client = QSize(content_width + 2 * margin_x, bottom + margin_y);
  return layout;
}

}  // namespace quarry
