// Names parameterized test cases after the `name` member of their parameter.
#pragma once

#include <gtest/gtest.h>

#include <string>

struct CaseName {
  template <class Param>
  std::string operator()(const ::testing::TestParamInfo<Param>& param_info) const {
    return param_info.param.name;
  }
};
