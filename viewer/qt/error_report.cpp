// The message box of the general error report.
#include "viewer/qt/error_report.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace viewer {

void ShowErrorMessageBox(QWidget* parent, const QString& message) {
  QMessageBox::critical(parent, QCoreApplication::applicationName(), message);
}

}  // namespace viewer
