// The operator of the headless station: messages and questions on stderr,
// answers taken from the command line's options, never from a keyboard.
#pragma once

#include "platform/operator.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace lumvex {

// Console operator for the headless station: messages go to stderr as
// "TITLE: text"; questions are answered from presets and never wait for input.
class ConsoleOperator : public Operator {
 public:
  // Answer for every confirmation and for the button of a two-button box that
  // goes on ("Yes", "Continue ...", or the one beside "No" / "Cancel") (--yes).
  // Without it a question is printed, answered "No" or "Cancel" (its second
  // button when it has neither), and `unanswered` is set.
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
