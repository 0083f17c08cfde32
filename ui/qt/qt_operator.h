// The operator interface on Qt: message, question and two-button boxes, the
// text prompt, modal progress boxes, file dialogs, event processing inside
// long loops, the console line (stderr) and delays that keep the window alive.
#pragma once

#include "platform/operator.h"

#include <QPointer>
#include <QProgressDialog>
#include <QWidget>

#include <vector>

namespace lumvex::qt {

class QtOperator : public Operator {
 public:
  // Boxes open over `parent` (the main window) once it is set.
  void setParent(QWidget* parent) { parent_ = parent; }

  void message(std::string_view title, std::string_view text) override;
  bool confirm(std::string_view title, std::string_view text) override;
  // The first button is the default for Enter and the answer to Escape.
  int twoButton(std::string_view title, std::string_view text, std::string_view first,
                std::string_view second) override;
  std::optional<std::string> prompt(std::string_view title, std::string_view text, int maxLength) override;
  void progressOpen(std::string_view title, std::string_view label, bool cancelButton) override;
  bool progressUpdate(double percent) override;
  void progressClose() override;
  std::optional<std::string> chooseFile(const FileRequest& req) override;
  void processEvents() override;
  void console(std::string_view line) override;
  void delay(int ms) override;

  // The innermost open progress box, null when none is open.
  QProgressDialog* progressBox() const { return progress_.empty() ? nullptr : progress_.back(); }

 private:
  QPointer<QWidget> parent_;
  std::vector<QProgressDialog*> progress_;
};

// "*.CSV;*.MME" -> "*.CSV *.csv *.MME *.mme": the file dialog's name filter.
QString fileFilter(std::string_view patterns);

}  // namespace lumvex::qt
