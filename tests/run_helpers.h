// Running a deliverable's Form_Load on the fake platform to its end.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fake/fake_platform.h"
#include "saver/form1.h"

namespace testing_support {

using platform::fake::Event;
using platform::fake::FakePlatform;
using platform::fake::ProgramEnded;

// Runs the program as its main does; every road ends in System::End.
inline void RunProgram(const saver::Scene& scene, FakePlatform& fake) {
  EXPECT_THROW(saver::Run(scene, fake), ProgramEnded);
}

// The log without the lines that creating the window wrote.
inline std::vector<std::string> AfterCreation(const FakePlatform& fake) {
  std::vector<std::string> lines;
  bool created = false;
  for (const std::string& line : fake.log) {
    if (created) lines.push_back(line);
    if (line == "Create Label1") created = true;
  }
  return lines;
}

inline Event Key() { return {Event::kKey}; }
inline Event Click() { return {Event::kButton, 100, 100}; }
inline Event Move(float x, float y) { return {Event::kMove, x, y}; }
inline Event Tick() { return {Event::kTick}; }
inline Event Close() { return {Event::kClose}; }
inline Event FocusLost() { return {Event::kFocusLost}; }
inline Event FocusGained() { return {Event::kFocusGained}; }
inline Event Resize(float width_px, float height_px) { return {Event::kResize, width_px, height_px}; }

}  // namespace testing_support
