#include <gtest/gtest.h>

#include "poly/expression.h"
#include "poly/rank.h"

TEST(Smoke, Builds) {
  reset_registry();
  create_counter_rank("i");
  Expression* e = s("N");
  EXPECT_EQ(get_nb_parameters(), 1);
  delete e;
}
