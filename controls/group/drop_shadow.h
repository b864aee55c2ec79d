// The group box's soft drop shadow: the box's shape, eroded and then
// spread again by a round stamp whose opacity falls off with distance,
// rendered into a picture with per-pixel alpha.
//
// Rendering, for a target rectangle of W x H and a shape:
//  1. The rectangle shrunk by the spread; per row, the leftmost and
//     rightmost pixel inside the shape (a span; empty rows give empty
//     spans), padded with `spread` empty rows above and below.
//  2. The spans eroded (blur - spread) times: each pass narrows every span
//     by one pixel and limits it to the spans of the rows above and below.
//  3. A square stamp of side 2R + 1, R = max(blur, spread), inner radius
//     ri = spread - blur when the spread is larger, else 0. A cell at
//     distance d from the centre: d < ri full opacity; d > R nothing;
//     otherwise round(opacity * (1 - (d - ri) / (blur + 1))). Its colour is
//     the shadow colour premultiplied by that alpha.
//  4. The stamp at every pixel of every span, each pixel keeping the
//     larger value.
// Because the stamp only falls with distance, step 4 equals giving each
// pixel the stamp's value at its distance from the nearest span pixel,
// which is what Render computes, in time proportional to W x H x (2R + 1).

#ifndef QUARRY_CONTROLS_GROUP_DROP_SHADOW_H_
#define QUARRY_CONTROLS_GROUP_DROP_SHADOW_H_

#include <QImage>
#include <QRect>
#include <functional>
#include <vector>

#include "framework/colour/colour_ref.h"

namespace quarry::controls {

struct ShadowParams {
  int blur = 12;
  int spread = 4;
  int opacity = 204;  // 0-255
  COLORREF colour = 0;
};

// One row's span: [left, right], empty when left > right.
struct Span {
  int left = 1;
  int right = 0;
  bool empty() const { return left > right; }
  bool operator==(const Span&) const = default;
};

// Step 1. `inside(x, y)` tells whether pixel (x, y) of the target lies in
// the shape; spans are in target coordinates, one per target row.
std::vector<Span> ShapeSpans(QSize target, int spread,
                             const std::function<bool(int x, int y)>& inside);
// Step 2, once.
std::vector<Span> Erode(const std::vector<Span>& spans);

// Step 3: the stamp's alpha at distance d.
int StampAlpha(double d, const ShadowParams& params);
// The stamp's premultiplied colour at an alpha (0xAARRGGBB, as QImage's
// premultiplied format keeps it).
uint32_t StampPixel(int alpha, COLORREF colour);

// Steps 1-4: the shadow picture (ARGB32, premultiplied) of `target`'s size.
QImage RenderShadow(QSize target, const ShadowParams& params,
                    const std::function<bool(int x, int y)>& inside);
// The same from spans already eroded (steps 3 and 4 only).
QImage StampSpans(QSize target, const std::vector<Span>& spans, const ShadowParams& params);

// Where the shadow picture is blended, relative to the target's origin:
// towards the shadow's direction (0 upper right, 1 upper left, 2 lower
// right, 3 lower left) by the spread.
QPoint ShadowShift(int direction, int spread);

}  // namespace quarry::controls

#endif  // QUARRY_CONTROLS_GROUP_DROP_SHADOW_H_
