#include "support/scripted_operator.h"

#include <chrono>
#include <thread>

namespace lumvex {

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

}  // namespace lumvex
