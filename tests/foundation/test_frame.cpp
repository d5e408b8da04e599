#include <gtest/gtest.h>

#include "ORK_math1.h"

TEST(Frame, Math1ErrorIsAnORKError) {
  try {
    throw numbra::EORKMath1Error("Polynomial: invalid order of polynomial");
  } catch (const numbra::EORKError& e) {
    EXPECT_STREQ(e.what(), "Polynomial: invalid order of polynomial");
  }
}
