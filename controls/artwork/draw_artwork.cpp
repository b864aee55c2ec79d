// Draws the control modules' grey-scale artwork and writes it as PNG files
// into the modules' art folders:
//
//   draw_artwork SOURCE_DIR     (SOURCE_DIR: the repository's controls/)
//
// The pictures are computed pixel by pixel from shape functions, 4 x 4
// samples per pixel, so the same program always writes the same bytes.
// Dark pixels take the face or border colour when a control tints them,
// light pixels turn towards white; 255 (white) marks what lies outside a
// shape and becomes transparent.
//
// Run it after changing a shape and commit the pictures it writes.

#include <QImage>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// A shape: the grey value at a point (in pixels, y down), or -1 outside.
using Shade = std::function<double(double x, double y)>;

constexpr int kSamples = 4;
constexpr double kOutside = 255.0;

double Mix(double a, double b, double t) { return a + (b - a) * std::clamp(t, 0.0, 1.0); }

// Linear interpolation through (position, value) stops, positions rising.
double Ramp(double t, std::initializer_list<std::pair<double, double>> stops) {
  auto it = stops.begin();
  if (t <= it->first) return it->second;
  for (auto prev = it++; it != stops.end(); prev = it++) {
    if (t <= it->first)
      return Mix(prev->second, it->second, (t - prev->first) / (it->first - prev->first));
  }
  return (stops.end() - 1)->second;
}

QImage Render(int width, int height, const Shade& shade) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int py = 0; py < height; ++py) {
    for (int px = 0; px < width; ++px) {
      double sum = 0;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const double v = shade(px + (sx + 0.5) / kSamples, py + (sy + 0.5) / kSamples);
          sum += v < 0 ? kOutside : v;
        }
      }
      const int g = static_cast<int>(std::lround(sum / (kSamples * kSamples)));
      image.setPixel(px, py, qRgb(g, g, g));
    }
  }
  return image;
}

// Signed distance to a rounded rectangle (negative inside).
double RoundedBox(double x, double y, double left, double top, double right, double bottom,
                  double radius) {
  const double cx = (left + right) / 2, cy = (top + bottom) / 2;
  const double hx = (right - left) / 2 - radius, hy = (bottom - top) / 2 - radius;
  const double qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
  const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
  return outside + std::min(std::max(qx, qy), 0.0) - radius;
}

bool Save(const QImage& image, const QString& path) {
  if (!image.save(path, "PNG")) {
    std::fprintf(stderr, "draw_artwork: cannot write %s\n", qPrintable(path));
    return false;
  }
  return true;
}

// --- Button strips: a horizontal strip of height h and width 2h + 4 whose
// left and right h x h squares hold the ends and whose middle 4 columns
// tile.

enum class Face { kOriginal, kEmbossed, kGlass };

// The body's grey at height fraction v (0 top, 1 bottom) and distance d
// inside the edge; `pressed` darkens and turns the light round.
double ButtonBody(Face face, bool pressed, double v, double d, double nx, double ny) {
  if (d < 1.1) return 0;  // the outline takes the face colour itself
  switch (face) {
    case Face::kOriginal:
      if (pressed) return Ramp(v, {{0.0, 25}, {0.5, 60}, {1.0, 120}});
      return Ramp(v, {{0.05, 236}, {0.42, 160}, {0.5, 92}, {0.78, 40}, {1.0, 92}});
    case Face::kEmbossed: {
      // A bevel two pixels deep, lit from the upper left.
      if (d < 3.2) {
        const double light = -(nx * 0.45 + ny * 0.9);
        return pressed ? Mix(40, 10, light) + 20 : Mix(40, 235, 0.5 + light * 0.5);
      }
      return pressed ? Ramp(v, {{0.0, 45}, {1.0, 95}}) : Ramp(v, {{0.0, 170}, {1.0, 105}});
    }
    case Face::kGlass:
      if (pressed) return Ramp(v, {{0.0, 20}, {0.5, 45}, {0.52, 90}, {1.0, 150}});
      if (d < 2.1 && ny < -0.5) return 250;  // the rim catches the light
      return Ramp(v, {{0.0, 215}, {0.48, 150}, {0.5, 45}, {1.0, 120}});
  }
  return 0;
}

QImage ButtonStrip(Face face, bool capsule, bool pressed, int h) {
  const int width = 2 * h + 4;
  const double radius = capsule ? h / 2.0 : 3.0;
  return Render(width, h, [=](double x, double y) {
    const double sd = RoundedBox(x, y, 0.5, 0.5, width - 0.5, h - 0.5, radius);
    if (sd > 0) return -1.0;
    // The outward direction, for the bevel's light.
    const double e = 0.01;
    double nx = RoundedBox(x + e, y, 0.5, 0.5, width - 0.5, h - 0.5, radius) - sd;
    double ny = RoundedBox(x, y + e, 0.5, 0.5, width - 0.5, h - 0.5, radius) - sd;
    const double len = std::hypot(nx, ny);
    if (len > 0) nx /= len, ny /= len;
    return std::min(250.0, ButtonBody(face, pressed, y / h, -sd, nx, ny));
  });
}

// --- Check indicators, 12 x 12.

// A lit lamp is dark art (the tint's full colour) with a bright glint; an
// unlit one is pale, so it reads as off in any colour.
QImage Lamp(bool lit) {
  return Render(12, 12, [=](double x, double y) {
    const double r = std::hypot(x - 6, y - 6);
    if (r > 5.6) return -1.0;
    if (r > 4.6) return lit ? 0.0 : 25.0;  // the rim shows the colour either way
    const double glint = std::hypot(x - 4.9, y - 4.4);
    const double shine = std::exp(-glint * glint / (lit ? 1.6 : 1.0));
    const double body = lit ? 20 + 70 * (r / 4.6) : 205 - 35 * (r / 4.6);
    return std::min(250.0, body + (250 - body) * shine);
  });
}

QImage MarkBox(bool checked) {
  return Render(12, 12, [=](double x, double y) {
    const double sd = RoundedBox(x, y, 0.5, 0.5, 11.5, 11.5, 1.5);
    if (sd > 0) return -1.0;
    if (sd > -1.0) return 95.0;
    if (checked) {
      // Two strokes of a tick, 1.7 px wide.
      auto segment = [&](double ax, double ay, double bx, double by) {
        const double dx = bx - ax, dy = by - ay;
        const double t =
            std::clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
        return std::hypot(x - (ax + t * dx), y - (ay + t * dy));
      };
      const double d = std::min(segment(3.0, 6.2, 5.0, 8.4), segment(5.0, 8.4, 9.2, 3.4));
      if (d < 0.95) return 30.0;
    }
    return Ramp(y / 12, {{0.0, 214}, {1.0, 248}});
  });
}

// --- Group frame pieces. The frame is 7 pixels thick; across it, from
// the outside in, the grey follows kFrame.

double Frame(double depth) {
  return Ramp(depth / 7.0, {{0.0, 20}, {0.25, 60}, {0.5, 118}, {0.75, 55}, {1.0, 0}});
}

QImage EdgeTile(bool horizontal, bool outside_first) {
  return Render(7, 7, [=](double x, double y) {
    const double across = horizontal ? y : x;
    return Frame(outside_first ? across : 7 - across);
  });
}

// A corner plate, 15 x 16: bevelled like the frame, with a rivet.
QImage CornerPlate(bool notch) {
  return Render(15, 16, [=](double x, double y) {
    if (notch && x < 1 && y < 1) return -1.0;
    const double edge = std::min({x, y, 15 - x, 16 - y});
    double v;
    if (edge < 1) {
      v = 10;
    } else if (edge < 2.5) {
      // Lit from the upper left.
      const bool lit = (x < 2.5 || y < 2.5) && !(15 - x < 2.5 || 16 - y < 2.5);
      v = lit ? 150 : 25;
    } else {
      v = Ramp((x + y) / 31.0, {{0.0, 110}, {1.0, 45}});
    }
    const double rivet = std::hypot(x - 7.5, y - 8.0);
    if (rivet < 2.4) v = std::max(20.0, 170 - rivet * 55);
    return std::min(v, 250.0);
  });
}

// The header band: the bottom edge's profile stretched over 23 rows, with
// rounded upper outer corners on the ends.
double Header(double y) { return Frame(7 - y * 7.0 / 23.0); }

QImage HeaderEnd(bool left) {
  return Render(15, 23, [=](double x, double y) {
    const double outer = left ? x : 15 - x;
    // Round the upper outer corner with a radius of 7.
    const double cx = 7.0, cy = 7.0;
    if (outer < cx && y < cy && std::hypot(outer - cx, y - cy) > 7.0) return -1.0;
    if (outer < 1.2 || (std::hypot(outer - cx, y - cy) > 5.9 && outer < cx && y < cy)) return 10.0;
    return Header(y);
  });
}

// --- Toolbox pictures, 16 x 16.

QImage ToolboxButton() {
  return Render(16, 16, [](double x, double y) {
    const double sd = RoundedBox(x, y, 1.5, 4.5, 14.5, 11.5, 3.5);
    if (sd > 0) return -1.0;
    return sd > -1 ? 40.0 : Ramp((y - 4.5) / 7, {{0.0, 225}, {0.5, 170}, {0.55, 120}, {1.0, 160}});
  });
}

QImage ToolboxCheck() {
  QImage lamp = Lamp(true);
  return Render(16, 16, [&](double x, double y) {
    if (x < 12 && y >= 2 && y < 14) {
      const QRgb p = lamp.pixel(static_cast<int>(x), static_cast<int>(y - 2));
      return qGray(p) == 255 ? -1.0 : static_cast<double>(qGray(p));
    }
    return (x >= 13 && static_cast<int>(y) % 4 == 1) ? 60.0 : -1.0;
  });
}

QImage ToolboxGroup() {
  return Render(16, 16, [](double x, double y) {
    const double sd = RoundedBox(x, y, 1.5, 2.5, 14.5, 14.5, 2.5);
    if (sd > 0 || sd < -1.2) return y < 6 && sd <= 0 && x > 1.5 && x < 14.5 ? 90.0 : -1.0;
    return 40.0;
  });
}

QImage ToolboxStatic() {
  // A capital A and an underline.
  return Render(16, 16, [](double x, double y) {
    auto near = [&](double ax, double ay, double bx, double by) {
      const double dx = bx - ax, dy = by - ay;
      const double t = std::clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
      return std::hypot(x - (ax + t * dx), y - (ay + t * dy)) < 0.9;
    };
    if (near(3, 12, 8, 2) || near(8, 2, 13, 12) || near(5.2, 8, 10.8, 8)) return 30.0;
    if (y > 13.5 && y < 15 && x > 2 && x < 14) return 90.0;
    return -1.0;
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: draw_artwork CONTROLS_SOURCE_DIR\n");
    return 2;
  }
  const QString root = QString::fromLocal8Bit(argv[1]);
  const QString button = root + "/button/art/";
  const QString check = root + "/check/art/";
  const QString group = root + "/group/art/";
  const QString label = root + "/static/art/";
  bool ok = true;

  struct Strip {
    int normal;
    int pressed;
    Face face;
    bool capsule;
    int height;
  };
  const Strip strips[] = {
      {219, 220, Face::kOriginal, true, 23}, {229, 230, Face::kOriginal, false, 23},
      {223, 224, Face::kEmbossed, true, 20}, {221, 222, Face::kEmbossed, false, 20},
      {227, 228, Face::kGlass, true, 20},    {225, 226, Face::kGlass, false, 20},
  };
  for (const Strip& s : strips) {
    ok &= Save(ButtonStrip(s.face, s.capsule, false, s.height),
               button + QString::number(s.normal) + ".png");
    ok &= Save(ButtonStrip(s.face, s.capsule, true, s.height),
               button + QString::number(s.pressed) + ".png");
  }
  ok &= Save(ToolboxButton(), button + "1.png");

  ok &= Save(Lamp(true), check + "203.png");
  ok &= Save(Lamp(false), check + "204.png");
  ok &= Save(MarkBox(false), check + "205.png");
  ok &= Save(MarkBox(true), check + "206.png");
  ok &= Save(ToolboxCheck(), check + "1.png");

  ok &= Save(EdgeTile(true, false), group + "202.png");   // bottom edge, header middle
  ok &= Save(EdgeTile(false, true), group + "206.png");   // left edge
  ok &= Save(EdgeTile(false, false), group + "207.png");  // right edge
  ok &= Save(EdgeTile(true, true), group + "208.png");    // top edge
  ok &= Save(CornerPlate(true), group + "209.png");
  ok &= Save(CornerPlate(false), group + "210.png");
  ok &= Save(CornerPlate(false), group + "203.png");
  ok &= Save(CornerPlate(false), group + "205.png");
  ok &= Save(HeaderEnd(true), group + "211.png");
  ok &= Save(HeaderEnd(false), group + "212.png");
  ok &= Save(ToolboxGroup(), group + "1.png");

  ok &= Save(ToolboxStatic(), label + "1.png");
  return ok ? 0 : 1;
}
