// A label that draws its text outlined: each glyph's outline in the text colour around a fill in
// the window's background colour.
#pragma once

#include <QLabel>
#include <functional>

namespace viewer {

class OutlinedLabel final : public QLabel {
  Q_OBJECT

 public:
  explicit OutlinedLabel(const QString& text, QWidget* parent = nullptr);

  // Gives the text drawn for the label's text, where `fits` tells whether a text fits the label;
  // without one the text is drawn as it is (and cut off at the edge).
  using Elision =
      std::function<QString(const QString& text, const std::function<bool(const QString&)>& fits)>;
  void SetElision(Elision elision) { m_elision = std::move(elision); }
  // The text as drawn at the label's present size; text() stays the whole text.
  [[nodiscard]] QString DrawnText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Elision m_elision;
};

}  // namespace viewer
