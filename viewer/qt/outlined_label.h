// A label that draws its text outlined: each glyph's outline in the text colour around a fill in
// the window's background colour.
#pragma once

#include <QLabel>

namespace viewer {

class OutlinedLabel final : public QLabel {
  Q_OBJECT

 public:
  explicit OutlinedLabel(const QString& text, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace viewer
