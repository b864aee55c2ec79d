#include "controls/group/drop_shadow.h"

#include <algorithm>
#include <cmath>

namespace quarry::controls {

namespace {

int Radius(const ShadowParams& p) { return std::max(std::max(p.blur, p.spread), 0); }

}  // namespace

std::vector<Span> ShapeSpans(QSize target, int spread,
                             const std::function<bool(int x, int y)>& inside) {
  spread = std::max(spread, 0);
  std::vector<Span> spans(static_cast<size_t>(std::max(target.height(), 0)));
  const int left = spread;
  const int right = target.width() - 1 - spread;
  for (int y = spread; y < target.height() - spread; ++y) {
    Span span;
    for (int x = left; x <= right; ++x) {
      if (inside(x, y)) {
        span.left = x;
        break;
      }
    }
    if (span.left > right) continue;
    for (int x = right; x >= span.left; --x) {
      if (inside(x, y)) {
        span.right = x;
        break;
      }
    }
    spans[static_cast<size_t>(y)] = span;
  }
  return spans;
}

std::vector<Span> Erode(const std::vector<Span>& spans) {
  std::vector<Span> out(spans.size());
  for (size_t y = 0; y < spans.size(); ++y) {
    if (spans[y].empty() || y == 0 || y + 1 >= spans.size()) continue;
    const Span& above = spans[y - 1];
    const Span& below = spans[y + 1];
    if (above.empty() || below.empty()) continue;
    Span s{spans[y].left + 1, spans[y].right - 1};
    s.left = std::max({s.left, above.left, below.left});
    s.right = std::min({s.right, above.right, below.right});
    if (!s.empty()) out[y] = s;
  }
  return out;
}

int StampAlpha(double d, const ShadowParams& p) {
  const int radius = Radius(p);
  const int blur = std::max(p.blur, 0);
  const int inner = p.spread > blur ? p.spread - blur : 0;
  const int opacity = std::clamp(p.opacity, 0, 255);
  if (d < inner) return opacity;
  if (d > radius) return 0;
  const double a = opacity * (1.0 - (d - inner) / (blur + 1.0));
  return std::clamp(static_cast<int>(std::lround(a)), 0, 255);
}

uint32_t StampPixel(int alpha, COLORREF colour) {
  const uint32_t r = static_cast<uint32_t>(RedOf(colour) * alpha / 255);
  const uint32_t g = static_cast<uint32_t>(GreenOf(colour) * alpha / 255);
  const uint32_t b = static_cast<uint32_t>(BlueOf(colour) * alpha / 255);
  return (static_cast<uint32_t>(alpha) << 24) | (r << 16) | (g << 8) | b;
}

QImage StampSpans(QSize target, const std::vector<Span>& spans, const ShadowParams& params) {
  QImage image(target, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  const int rows = static_cast<int>(spans.size());
  // Offsets beyond the picture never occur, so a huge blur costs no more
  // than one as large as the picture.
  const int radius = std::min(Radius(params), std::max(target.width(), target.height()));
  const int columns = radius + 1;
  // The stamp's alpha at each whole-pixel offset, worked out once.
  std::vector<int> alpha_at(static_cast<size_t>(columns) * static_cast<size_t>(columns));
  for (int dy = 0; dy <= radius; ++dy) {
    for (int dx = 0; dx <= radius; ++dx) {
      alpha_at[static_cast<size_t>(dy) * columns + dx] = StampAlpha(std::hypot(dx, dy), params);
    }
  }
  for (int y = 0; y < target.height(); ++y) {
    auto* row = reinterpret_cast<uint32_t*>(image.scanLine(y));
    const int first = std::max(-radius, -y);
    const int last = std::min(radius, rows - 1 - y);
    for (int x = 0; x < target.width(); ++x) {
      int best = 0;
      for (int dy = first; dy <= last; ++dy) {
        const Span& span = spans[static_cast<size_t>(y + dy)];
        if (span.empty()) continue;
        const int nearest = std::clamp(x, span.left, span.right);
        const int dx = std::abs(x - nearest);
        if (dx > radius) continue;
        best = std::max(best, alpha_at[static_cast<size_t>(std::abs(dy)) * columns + dx]);
      }
      if (best > 0) row[x] = StampPixel(best, params.colour);
    }
  }
  return image;
}

QImage RenderShadow(QSize target, const ShadowParams& params,
                    const std::function<bool(int x, int y)>& inside) {
  std::vector<Span> spans = ShapeSpans(target, params.spread, inside);
  // After as many passes as there are rows nothing is left to erode.
  const int passes = std::min(params.blur - params.spread, target.height());
  for (int pass = 0; pass < passes; ++pass) spans = Erode(spans);
  return StampSpans(target, spans, params);
}

QPoint ShadowShift(int direction, int spread) {
  const bool right = direction == 0 || direction == 2;
  const bool lower = direction == 2 || direction == 3;
  return QPoint(right ? spread : -spread, lower ? spread : -spread);
}

}  // namespace quarry::controls
