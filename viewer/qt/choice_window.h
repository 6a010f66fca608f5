// A window of its own that lists rows to choose from (where an entry is used, the matches of a
// search), with a search field above the list when asked for one. Enter or a double click on a
// row chooses it; the window takes the keyboard focus when shown.
#pragma once

#include <QStringList>
#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;

namespace viewer {

class ChoiceWindow final : public QWidget {
  Q_OBJECT

 public:
  ChoiceWindow(const QString& title, bool withField, QWidget* parent);

  // Lists `rows` with the first selected and the focus on the list; with no rows, shows
  // `emptyText` instead (the focus stays in the field, if there is one).
  void ShowRows(const QStringList& rows, const QString& emptyText);
  // Adds `rows` below those listed; the first row of all is selected, with the focus on the list,
  // when it comes.
  void AppendRows(const QStringList& rows);
  // Shows the window, raised, with the focus in the field (or on the list).
  void Open();

  [[nodiscard]] QListWidget& List() { return *m_list; }
  [[nodiscard]] QLineEdit* Field() { return m_field; }

 signals:
  void chosen(int row);
  void searched(const QString& text);
  // The window was closed (by the user or after a choice).
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QLineEdit* m_field = nullptr;
  QListWidget* m_list = nullptr;
  QLabel* m_empty = nullptr;
};

}  // namespace viewer
