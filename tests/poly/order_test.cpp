#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "algebra/analysis_context.h"
#include "algebra/expression.h"
#include "algebra/index_function.h"
#include "polyhedra/polyhedron.h"
#include "algebra/rank.h"
#include "tests/poly/poly_test_support.h"

namespace {

template <typename Pieces>
std::string text_all(const Pieces& pieces)
{
  std::string r;
  for (const auto& p : pieces)
    r += text(*p);
  return r;
}

// Registry: counters i, j, k, l and parameter N.
class OrderTest : public ::testing::Test {
 protected:
  // Empty registries, options and switches for each test.
  AnalysisScope scope_;
  void SetUp() override
  {
    for (const char* name : {"i", "j", "k", "l"})
      create_counter_rank(name);
    create_parameter_rank("N");
  }
  // The function of the given components.
  template <class... Components>
  static std::unique_ptr<IndexFunction> f(const Components&... components)
  {
    return std::make_unique<IndexFunction>(std::vector<Expression*>{components.get()...});
  }
  static bool universal(const std::list<std::unique_ptr<Polyhedron>>& l)
  {
    return l.size() == 1 && l.front()->is_universe();
  }
};

TEST_F(OrderTest, PiecesByDepth)
{
  auto ij = f(var(0), var(1)), kl = f(var(2), var(3)), kln = f(var(2), var(3), par("N"));
  const std::string expected = "/\n| i < k\n\\\n/\n| j < l\n| i <= k\n| i >= k\n\\\n";
  EXPECT_EQ(text_all(ij->before_no_simplification(kl.get())), expected);
  EXPECT_EQ(text_all(ij->before(kl.get())), expected);
  EXPECT_EQ(text_all(*ij < *kl), expected);
  // Components beyond the shorter dimension are ignored.
  EXPECT_EQ(text_all(ij->before_no_simplification(kln.get())), expected);
  EXPECT_EQ(text_all(kln->before(ij.get())), "/\n| k < i\n\\\n/\n| l < j\n| k <= i\n| k >= i\n\\\n");

  std::vector<std::unique_ptr<Polyhedron>> le = ij->before_eq(kl.get());
  ASSERT_EQ(le.size(), 3u);
  EXPECT_EQ(text(*le[2]), "/\n| i = k\n| j = l\n\\\n");
  EXPECT_EQ(le[2]->to_matrix().size(), 4u);  // each equality as two rows
}

TEST_F(OrderTest, ConstantAndEmptyCases)
{
  auto zero = f(v(0)), one = f(v(1));
  EXPECT_TRUE(universal(*zero < *one));
  EXPECT_TRUE((*one < *zero).empty());
  EXPECT_EQ(text_all(one->before_no_simplification(zero.get())), "/\n| 1 < 0\n\\\n");
  EXPECT_EQ(text_all(zero->before_no_simplification(one.get())), "/\n| 0 < 1\n\\\n");
  EXPECT_EQ(text_all(zero->before(one.get())), "/\n| 0 < 1\n\\\n");
  EXPECT_TRUE(one->before(zero.get()).empty());

  // An equal first component ends in a universal second piece, which stands alone.
  EXPECT_TRUE(universal(*f(var(0), v(0)) < *f(var(0), v(1))));

  // i < -1 holds only for negative counters: operator< drops it, before keeps it.
  auto i = f(var(0)), minus = f(v(-1));
  EXPECT_TRUE((*i < *minus).empty());
  EXPECT_EQ(text_all(i->before(minus.get())), "/\n| i < -1\n\\\n");

  // Dimension 0: no piece, and the order holds everywhere through equality.
  IndexFunction none;
  EXPECT_TRUE(none.before_no_simplification(&none).empty());
  std::vector<std::unique_ptr<Polyhedron>> le = none.before_eq(&none),
                                           le_one = one->before_eq(zero.get());
  EXPECT_TRUE(le.size() == 1 && le[0]->size() == 0);
  EXPECT_TRUE(le_one.size() == 1 && le_one[0]->is_empty_general());  // only 1 == 0
}

}  // namespace
