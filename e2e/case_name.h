// Parameterised end-to-end cases are named by their `name` field.
#ifndef VANTREL_E2E_CASE_NAME_H
#define VANTREL_E2E_CASE_NAME_H

#include <gtest/gtest.h>

#include <string>

namespace e2e {

// The test name generator of every parameterised suite: Suite/Test/Name.
struct CaseName {
  template <class Case>
  std::string operator()(const testing::TestParamInfo<Case>& info) const {
    return info.param.name;
  }
};

}  // namespace e2e

#endif
