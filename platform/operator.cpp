#include "platform/operator.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace lumvex {

// ---------------------------------------------------------------- scripted

void ScriptedOperator::message(std::string_view title, std::string_view text) {
  transcript.push_back({Shown::Message, std::string(title), std::string(text), "OK"});
}

bool ScriptedOperator::confirm(std::string_view title, std::string_view text) {
  bool yes = false;
  if (!confirmAnswers.empty()) {
    yes = confirmAnswers.front();
    confirmAnswers.pop_front();
  }
  transcript.push_back({Shown::Confirm, std::string(title), std::string(text), yes ? "Yes" : "No"});
  return yes;
}

int ScriptedOperator::twoButton(std::string_view title, std::string_view text, std::string_view first,
                                std::string_view second) {
  int b = 1;
  if (!twoButtonAnswers.empty()) {
    b = twoButtonAnswers.front() == 2 ? 2 : 1;
    twoButtonAnswers.pop_front();
  }
  transcript.push_back(
      {Shown::TwoButton, std::string(title), std::string(text), std::string(b == 1 ? first : second)});
  return b;
}

std::optional<std::string> ScriptedOperator::prompt(std::string_view title, std::string_view text,
                                                    int maxLength) {
  std::optional<std::string> a;
  if (!promptAnswers.empty()) {
    a = promptAnswers.front();
    promptAnswers.pop_front();
  }
  if (a && maxLength >= 0 && static_cast<int>(a->size()) > maxLength) a->resize(maxLength);
  transcript.push_back({Shown::Prompt, std::string(title), std::string(text), a.value_or("")});
  return a;
}

void ScriptedOperator::progressOpen(std::string_view title, std::string_view label, bool) {
  ++openProgressBoxes;
  transcript.push_back({Shown::ProgressOpen, std::string(title), std::string(label), ""});
}

bool ScriptedOperator::progressUpdate(double percent) {
  progress.push_back(percent);
  return true;
}

void ScriptedOperator::progressClose() {
  --openProgressBoxes;
  transcript.push_back({Shown::ProgressClose, "", "", ""});
}

std::optional<std::string> ScriptedOperator::chooseFile(const FileRequest& req) {
  std::optional<std::string> a;
  if (!fileAnswers.empty()) {
    a = fileAnswers.front();
    fileAnswers.pop_front();
  }
  transcript.push_back({Shown::File, req.title, req.filter, a.value_or("")});
  return a;
}

void ScriptedOperator::processEvents() {
  if (onEvents) onEvents();
}

void ScriptedOperator::console(std::string_view line) {
  transcript.push_back({Shown::Console, "", std::string(line), ""});
}

void ScriptedOperator::delay(int ms) {
  delayedMs += ms;
  if (realDelays && ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  if (onEvents) onEvents();
}

std::vector<std::string> ScriptedOperator::messages() const {
  std::vector<std::string> out;
  for (const auto& s : transcript)
    if (s.kind == Shown::Message) out.push_back(s.title + ": " + s.text);
  return out;
}

bool ScriptedOperator::showed(std::string_view title, std::string_view text) const {
  for (const auto& s : transcript)
    if (s.title == title && s.text == text && s.kind != Shown::Console) return true;
  return false;
}

// ---------------------------------------------------------------- console

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
  // takes it; --yes takes the button that goes on ("Yes", "Continue ...");
  // any other box is a question left unanswered, answered "No" if it has one.
  auto goesOn = [](std::string_view b) { return b == "Yes" || b.substr(0, 8) == "Continue"; };
  int b = 2;
  if (!defaultButton.empty() && (defaultButton == first || defaultButton == second)) {
    b = defaultButton == first ? 1 : 2;
  } else if (assumeYes && (goesOn(first) || goesOn(second))) {
    b = goesOn(first) ? 1 : 2;
  } else {
    unanswered = true;
    b = first == "No" ? 1 : 2;
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
