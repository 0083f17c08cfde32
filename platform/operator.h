// The operator interface: everything the station asks of, or tells, the person
// at the screen outside the control model — message boxes, questions, text
// prompts, modal progress boxes, file dialogs, the console line, processing
// pending events inside long loops, and delays. Three implementations: Qt
// (ui/qt), console (cli/) and scripted (tests/support).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lumvex {

struct FileRequest {
  std::string title;
  std::string folder;       // start folder ("" = current directory)
  std::string filter;       // e.g. "*.CSV"
  std::string defaultName;  // proposed file name
  bool save = false;        // save dialog (else load)
  bool folderOnly = false;  // choose a folder
};

class Operator {
 public:
  virtual ~Operator() = default;
  // Modal message box with one "OK" button.
  virtual void message(std::string_view title, std::string_view text) = 0;
  // Yes/No question; true for Yes.
  virtual bool confirm(std::string_view title, std::string_view text) = 0;
  // Box with two buttons; returns 1 for the first, 2 for the second.
  virtual int twoButton(std::string_view title, std::string_view text, std::string_view first,
                        std::string_view second) = 0;
  // Text prompt taking up to maxLength characters; nullopt when cancelled.
  virtual std::optional<std::string> prompt(std::string_view title, std::string_view text, int maxLength) = 0;
  // Modal progress box (one at a time may be nested; each open has a close).
  virtual void progressOpen(std::string_view title, std::string_view label, bool cancelButton) = 0;
  // Percent 0..100. Returns false when the operator pressed cancel.
  virtual bool progressUpdate(double percent) = 0;
  virtual void progressClose() = 0;
  // File selection; nullopt when cancelled.
  virtual std::optional<std::string> chooseFile(const FileRequest& req) = 0;
  // Lets pending user-interface events (and nested callbacks) run.
  virtual void processEvents() = 0;
  // The console window's line output.
  virtual void console(std::string_view line) = 0;
  // Waits ms milliseconds, processing events where the front end can.
  virtual void delay(int ms) = 0;
};

}  // namespace lumvex
