// Outlined text through a painter path, so that it looks the same in every style.
#include "viewer/qt/outlined_label.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace viewer {

OutlinedLabel::OutlinedLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setTextFormat(Qt::PlainText);
  setWordWrap(false);
}

QString OutlinedLabel::DrawnText() const {
  if (!m_elision) return text();
  const QFontMetricsF metrics(font());
  // The text starts one pixel in, and its outline reaches half a pixel beyond the glyphs.
  const qreal room = contentsRect().width() - 2.0;
  return m_elision(text(), [&](const QString& candidate) {
    return metrics.horizontalAdvance(candidate) <= room;
  });
}

void OutlinedLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing, true);
  const QFontMetrics metrics(font());
  const QRect area = contentsRect();
  const int baseline = area.top() + (area.height() - metrics.height()) / 2 + metrics.ascent();
  QPainterPath path;
  path.addText(QPointF(area.left() + 1, baseline), font(), DrawnText());
  painter.setClipRect(area);
  painter.fillPath(path, palette().brush(QPalette::Base));
  painter.strokePath(path, QPen(palette().color(QPalette::WindowText), 1.0));
}

}  // namespace viewer
