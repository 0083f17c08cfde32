#include "cli/console_operator.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace lumvex {

void ConsoleOperator::message(std::string_view title, std::string_view text) {
  ++messageCount;
  std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(),
               static_cast<int>(text.size()), text.data());
}

bool ConsoleOperator::confirm(std::string_view title, std::string_view text) {
  std::fprintf(stderr, "%.*s: %.*s [%s]\n", static_cast<int>(title.size()), title.data(),
               static_cast<int>(text.size()), text.data(), assumeYes ? "Yes" : "No");
  if (!assumeYes) unanswered = true;
  return assumeYes;
}

int ConsoleOperator::twoButton(std::string_view title, std::string_view text, std::string_view first,
                               std::string_view second) {
  // A box with a fixed answer (the communication-error box: "Disconnect")
  // takes it; --yes takes the button that goes on ("Yes", "Continue ...", or
  // the one beside "No" / "Cancel", e.g. "Load Cal File"); any other box is a
  // question left unanswered, answered "No" or "Cancel" where it has one.
  auto goesOn = [](std::string_view b) { return b == "Yes" || b.substr(0, 8) == "Continue"; };
  auto refuses = [](std::string_view b) { return b == "No" || b == "Cancel"; };
  int b = 2;
  if (!defaultButton.empty() && (defaultButton == first || defaultButton == second)) {
    b = defaultButton == first ? 1 : 2;
  } else if (assumeYes && (goesOn(first) || goesOn(second))) {
    b = goesOn(first) ? 1 : 2;
  } else if (assumeYes && refuses(first) != refuses(second)) {
    b = refuses(first) ? 2 : 1;
  } else {
    unanswered = true;
    b = refuses(first) ? 1 : 2;
  }
  std::string_view chosen = b == 1 ? first : second;
  std::fprintf(stderr, "%.*s: %.*s [%.*s]\n", static_cast<int>(title.size()), title.data(),
               static_cast<int>(text.size()), text.data(), static_cast<int>(chosen.size()), chosen.data());
  return b;
}

std::optional<std::string> ConsoleOperator::prompt(std::string_view title, std::string_view text, int) {
  std::fprintf(stderr, "%.*s: %.*s [cancelled]\n", static_cast<int>(title.size()), title.data(),
               static_cast<int>(text.size()), text.data());
  unanswered = true;
  return std::nullopt;
}

void ConsoleOperator::progressOpen(std::string_view title, std::string_view, bool) {
  lastPercent_ = -1;
  if (!quiet) std::fprintf(stderr, "%.*s...\n", static_cast<int>(title.size()), title.data());
}

bool ConsoleOperator::progressUpdate(double percent) {
  int p = static_cast<int>(percent);
  if (!quiet && p / 10 != lastPercent_ / 10) std::fprintf(stderr, "  %d%%\n", p);
  lastPercent_ = p;
  return true;
}

void ConsoleOperator::progressClose() {}

std::optional<std::string> ConsoleOperator::chooseFile(const FileRequest& req) {
  return req.save ? saveAnswer : loadAnswer;
}

void ConsoleOperator::processEvents() {
  if (onEvents) onEvents();
}

void ConsoleOperator::console(std::string_view line) {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
}

void ConsoleOperator::delay(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace lumvex
