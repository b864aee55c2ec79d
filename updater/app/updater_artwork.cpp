#include "updater/app/updater_artwork.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace quarry::updater {

namespace {

// A round badge with a white mark: green with a tick, amber with an arrow
// pointing down (something to fetch), or blue with three dots (fetching).
QPixmap Badge(int state, int size, qreal ratio) {
  QPixmap pixmap(QSize(size, size) * ratio);
  pixmap.setDevicePixelRatio(ratio);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF box(0.75, 0.75, size - 1.5, size - 1.5);
  const bool current = state == kStateCurrent;
  const QColor base = current                ? QColor(0x2E, 0x9E, 0x4F)
                      : state == kStateBusy ? QColor(0x2B, 0x6C, 0xC4)
                                            : QColor(0xE8, 0x8A, 0x10);
  QRadialGradient fill(box.center() - QPointF(size * 0.18, size * 0.22), size * 0.75);
  fill.setColorAt(0.0, base.lighter(135));
  fill.setColorAt(1.0, base);
  p.setPen(QPen(base.darker(130), 1.0));
  p.setBrush(fill);
  p.drawEllipse(box);
  QPen mark(Qt::white, size / 8.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(mark);
  p.setBrush(Qt::NoBrush);
  const qreal s = size;
  QPainterPath path;
  if (state == kStateBusy) {
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (qreal x : {0.28, 0.5, 0.72}) p.drawEllipse(QPointF(s * x, s * 0.5), s / 14.0, s / 14.0);
    return pixmap;
  }
  if (current) {
    path.moveTo(s * 0.28, s * 0.52);
    path.lineTo(s * 0.44, s * 0.68);
    path.lineTo(s * 0.72, s * 0.34);
  } else {
    path.moveTo(s * 0.5, s * 0.26);
    path.lineTo(s * 0.5, s * 0.72);
    path.moveTo(s * 0.31, s * 0.54);
    path.lineTo(s * 0.5, s * 0.73);
    path.lineTo(s * 0.69, s * 0.54);
  }
  p.drawPath(path);
  return pixmap;
}

QPixmap IconPicture(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  // A blue disc with a white circular arrow around a downward arrow.
  QRadialGradient fill(QPointF(s * 0.35, s * 0.3), s * 0.8);
  fill.setColorAt(0.0, QColor(0x4F, 0x9D, 0xE8));
  fill.setColorAt(1.0, QColor(0x1B, 0x5F, 0xAF));
  p.setPen(QPen(QColor(0x14, 0x48, 0x86), qMax(1.0, s / 32)));
  p.setBrush(fill);
  p.drawEllipse(QRectF(s * 0.04, s * 0.04, s * 0.92, s * 0.92));
  QPen white(Qt::white, s / 11, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(white);
  p.setBrush(Qt::NoBrush);
  const QRectF ring(s * 0.22, s * 0.22, s * 0.56, s * 0.56);
  p.drawArc(ring, 110 * 16, 300 * 16);
  QPainterPath head;
  head.moveTo(s * 0.36, s * 0.13);
  head.lineTo(s * 0.43, s * 0.25);
  head.lineTo(s * 0.30, s * 0.31);
  p.drawPath(head);
  QPainterPath down;
  down.moveTo(s * 0.5, s * 0.36);
  down.lineTo(s * 0.5, s * 0.62);
  down.moveTo(s * 0.41, s * 0.54);
  down.lineTo(s * 0.5, s * 0.63);
  down.lineTo(s * 0.59, s * 0.54);
  p.drawPath(down);
  return pixmap;
}

}  // namespace

QPixmap StateImage(int state, int size) {
  if (state != kStateCurrent && state != kStateNeedsUpdate && state != kStateBusy) return {};
  const qreal ratio = qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0;
  return Badge(state, size, ratio);
}

QIcon UpdaterIcon() {
  static const QIcon icon = [] {
    QIcon i;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) i.addPixmap(IconPicture(size));
    return i;
  }();
  return icon;
}

}  // namespace quarry::updater
