// The choice window's controls and keys.
#include "viewer/qt/choice_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

namespace viewer {

ChoiceWindow::ChoiceWindow(const QString& title, bool withField, QWidget* parent)
    : QWidget(parent, Qt::Window) {
  setWindowTitle(title);
  auto* layout = new QVBoxLayout(this);
  if (withField) {
    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("Field"));
    layout->addWidget(m_field);
    connect(m_field, &QLineEdit::returnPressed, this, [this] { emit searched(m_field->text()); });
  }
  m_empty = new QLabel(this);
  m_empty->setObjectName(QStringLiteral("Empty"));
  m_empty->hide();
  layout->addWidget(m_empty);
  m_list = new QListWidget(this);
  m_list->setObjectName(QStringLiteral("Rows"));
  m_list->setSelectionMode(QAbstractItemView::SingleSelection);
  layout->addWidget(m_list);
  // Enter and a double click activate a row.
  connect(m_list, &QListWidget::activated, this,
          [this](const QModelIndex& index) { emit chosen(index.row()); });
  resize(640, 400);
}

void ChoiceWindow::ShowRows(const QStringList& rows, const QString& emptyText) {
  m_list->clear();
  m_list->addItems(rows);
  m_empty->setText(emptyText);
  m_empty->setVisible(rows.isEmpty());
  if (rows.isEmpty()) {
    if (m_field != nullptr) m_field->setFocus();
    return;
  }
  m_list->setCurrentRow(0);
  m_list->setFocus();
}

void ChoiceWindow::AppendRows(const QStringList& rows) {
  if (rows.isEmpty()) return;
  const bool first = m_list->count() == 0;
  m_list->addItems(rows);
  if (!first) return;
  m_empty->hide();
  m_list->setCurrentRow(0);
  m_list->setFocus();
}

void ChoiceWindow::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  emit closed();
}

void ChoiceWindow::Open() {
  show();
  raise();
  activateWindow();
  if (m_field != nullptr) {
    m_field->setFocus();
    m_field->selectAll();
  } else {
    m_list->setFocus();
  }
}

}  // namespace viewer
