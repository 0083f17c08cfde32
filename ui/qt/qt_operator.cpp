#include "ui/qt/qt_operator.h"

#include "ui/qt/text.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <iostream>

namespace lumvex::qt {
namespace {

void prepare(QMessageBox& box, std::string_view title, std::string_view text) {
  box.setWindowTitle(toQString(title));
  box.setTextFormat(Qt::PlainText);
  box.setText(toDisplay(text));
  box.setIcon(QMessageBox::NoIcon);
}

}  // namespace

QString fileFilter(std::string_view patterns) {
  QStringList out;
  for (const QString& p : toQString(patterns).split(';', Qt::SkipEmptyParts)) {
    QString t = p.trimmed();
    out << t;
    // Extensions are written upper case; files made elsewhere often carry them in lower case.
    if (t.toLower() != t) out << t.toLower();
  }
  QString filter = out.isEmpty() ? QString("*") : out.join(' ');
  return QString("Files (%1);;All Files (*)").arg(filter);
}

void QtOperator::message(std::string_view title, std::string_view text) {
  QMessageBox box(parent_);
  prepare(box, title, text);
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

bool QtOperator::confirm(std::string_view title, std::string_view text) {
  QMessageBox box(parent_);
  prepare(box, title, text);
  box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

int QtOperator::twoButton(std::string_view title, std::string_view text, std::string_view first,
                          std::string_view second) {
  QMessageBox box(parent_);
  prepare(box, title, text);
  QPushButton* one = box.addButton(toQString(first), QMessageBox::AcceptRole);
  QPushButton* two = box.addButton(toQString(second), QMessageBox::RejectRole);
  one->setObjectName("first");
  two->setObjectName("second");
  box.setDefaultButton(one);
  box.setEscapeButton(one);
  box.exec();
  return box.clickedButton() == two ? 2 : 1;
}

std::optional<std::string> QtOperator::prompt(std::string_view title, std::string_view text, int maxLength) {
  QInputDialog dlg(parent_);
  dlg.setWindowTitle(toQString(title));
  dlg.setLabelText(toDisplay(text));
  dlg.setInputMode(QInputDialog::TextInput);
  dlg.setTextValue(QString());
  if (auto* edit = dlg.findChild<QLineEdit*>(); edit && maxLength > 0) edit->setMaxLength(maxLength);
  if (dlg.exec() != QDialog::Accepted) return std::nullopt;
  QString t = dlg.textValue();
  if (maxLength > 0 && t.size() > maxLength) t.truncate(maxLength);
  return toStd(t);
}

void QtOperator::progressOpen(std::string_view title, std::string_view label, bool cancelButton) {
  auto* box =
      new QProgressDialog(toDisplay(label), cancelButton ? QString("Cancel") : QString(), 0, 100, parent_);
  box->setObjectName("progress");
  box->setWindowTitle(toQString(title));
  box->setWindowModality(Qt::ApplicationModal);
  box->setAutoClose(false);
  box->setAutoReset(false);
  box->setMinimumDuration(0);
  if (!cancelButton) box->setCancelButton(nullptr);
  box->setValue(0);
  box->show();
  progress_.push_back(box);
  QCoreApplication::processEvents();
}

bool QtOperator::progressUpdate(double percent) {
  QProgressDialog* box = progressBox();
  if (!box) return true;
  int value = std::isfinite(percent) ? static_cast<int>(std::clamp(percent, 0.0, 100.0)) : 0;
  if (value != box->value()) box->setValue(value);
  return !box->wasCanceled();
}

void QtOperator::progressClose() {
  if (progress_.empty()) return;
  QProgressDialog* box = progress_.back();
  progress_.pop_back();
  box->close();
  delete box;
}

std::optional<std::string> QtOperator::chooseFile(const FileRequest& req) {
  QFileDialog dlg(parent_, toQString(req.title), toQString(req.folder));
  dlg.setOption(QFileDialog::DontUseNativeDialog);
  if (req.folderOnly) {
    dlg.setFileMode(QFileDialog::Directory);
    dlg.setOption(QFileDialog::ShowDirsOnly);
  } else {
    dlg.setFileMode(req.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dlg.setNameFilter(fileFilter(req.filter));
  }
  dlg.setAcceptMode(req.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  if (!req.defaultName.empty()) dlg.selectFile(toQString(req.defaultName));
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
  return toStd(dlg.selectedFiles().front());
}

void QtOperator::processEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtOperator::console(std::string_view line) { std::cerr << line << '\n' << std::flush; }

void QtOperator::delay(int ms) {
  if (ms <= 0) {
    processEvents();
    return;
  }
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace lumvex::qt
