// The operator interface: everything the station asks of, or tells, the person
// at the screen outside the control model — message boxes, questions, text
// prompts, modal progress boxes, file dialogs, the console line, processing
// pending events inside long loops, and delays. Three implementations: Qt
// (ui/qt), console (CLI) and scripted (tests).
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// Transcript entry of a scripted run: what was shown and what was answered.
struct Shown {
  enum Kind { Message, Confirm, TwoButton, Prompt, ProgressOpen, ProgressClose, File, Console } kind;
  std::string title;
  std::string text;
  std::string answer;  // "Yes"/"No", button text, prompt text, path, "" for cancel
};

// Test operator: records every box in a transcript and answers from queues.
// With no queued answer a question takes its default: confirm -> No, two-button
// -> the first button, prompt and file dialog -> cancelled.
class ScriptedOperator : public Operator {
 public:
  std::vector<Shown> transcript;
  std::deque<bool> confirmAnswers;
  std::deque<int> twoButtonAnswers;
  std::deque<std::optional<std::string>> promptAnswers;
  std::deque<std::optional<std::string>> fileAnswers;
  std::vector<double> progress;  // every progress update, in order
  int openProgressBoxes = 0;
  // Runs on every processEvents and delay: lets a test act "while" a loop runs.
  std::function<void()> onEvents;
  bool realDelays = false;  // sleep in delay() (default: return at once)
  long delayedMs = 0;       // sum of requested delays

  void message(std::string_view title, std::string_view text) override;
  bool confirm(std::string_view title, std::string_view text) override;
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

  // Messages (kind Message) only, "TITLE: text" each.
  std::vector<std::string> messages() const;
  // True when a box with this title and text was shown.
  bool showed(std::string_view title, std::string_view text) const;
  void clear() {
    transcript.clear();
    progress.clear();
  }
};

// Console operator for the headless station: messages go to stderr as
// "TITLE: text"; questions are answered from presets and never wait for input.
class ConsoleOperator : public Operator {
 public:
  // Answer for every confirmation and for the button of a two-button box that
  // goes on ("Yes", "Continue ...") (--yes). Without it a question is printed,
  // answered "No" (or its second button when it has no "No"), and
  // `unanswered` is set.
  bool assumeYes = false;
  // A button always chosen, without a question, in the two-button boxes that
  // offer it ("Disconnect" in the communication-error box).
  std::string defaultButton;
  std::optional<std::string> saveAnswer;  // path for save dialogs
  std::optional<std::string> loadAnswer;  // path for load dialogs
  bool unanswered = false;                // a question took its default
  bool quiet = false;                     // no progress lines
  int messageCount = 0;
  // Runs on every processEvents: what the operator does while a callback
  // waits for a button (the raw reprocessing's "Continue Reprocessing").
  std::function<void()> onEvents;

  void message(std::string_view title, std::string_view text) override;
  bool confirm(std::string_view title, std::string_view text) override;
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

 private:
  int lastPercent_ = -1;
};

}  // namespace lumvex
