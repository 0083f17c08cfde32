// The operator of tests, benchmarks and fuzz targets: every box shown is kept
// in a transcript, and questions are answered from queues.
#pragma once

#include "platform/operator.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumvex {

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

}  // namespace lumvex
