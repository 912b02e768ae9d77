// A table's case named in the test's name: what it describes, letters and digits kept.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>

template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  std::string name;
  for (const char* c = info.param.what; *c; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
  return name;
}
