#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "algebra/analysis_context.h"
#include "algebra/expression.h"
#include "algebra/index_function.h"
#include "algebra/inequation.h"
#include "polyhedra/operation.h"
#include "polyhedra/polyhedron.h"
#include "polyhedra/quast.h"
#include "algebra/rank.h"
#include "tests/poly/poly_test_support.h"
#include "tests/expect_failure.h"

namespace {

using Q = std::unique_ptr<Quast>;

// Registry: counters i, j and parameter N. The tree tests N >= 1, with the
// solution (N, 0) on the then side and a bottom on the else side.
class QuastTest : public ::testing::Test {
 protected:
  // Empty registries, options and switches for each test.
  AnalysisScope scope_;
  void SetUp() override
  {
    create_counter_rank("i");
    create_counter_rank("j");
    create_parameter_rank("N");
    n = par("N");
    tree.reset(inner(leaf(), new Quast()));
  }
  Quast* leaf() const
  {
    Quast* q = new Quast();
    Expression zero(0);
    q->is_bottom = 0, q->is_leaf = 1;
    q->solution = new IndexFunction(std::vector<Expression*>{n.get(), &zero});
    return q;
  }
  Quast* inner(Quast* then_branch, Quast* else_branch) const
  {
    Quast* q = new Quast();
    q->is_bottom = 0, q->is_if = 1;
    q->condition = (*n >= 1).release();
    q->then_branch = then_branch, q->else_branch = else_branch;
    return q;
  }
  std::unique_ptr<Expression> n;
  Q tree;
};

TEST_F(QuastTest, FlattenInnerNode)
{
  EXPECT_FAILURE((std::cout.rdbuf(std::cerr.rdbuf()), tree->flatten()), 1, "^Quast::_flatten: untagged Quast\n$");
  tree->tag(5);
  tree->then_branch->statement = 3;
  tree->then_branch->tag_vector = {0};
  OwnedPieces<Operation> m = tree->flatten();
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(text(*m.begin()->first), "/\n| N >= 1\n\\\n");
  const Operation* op = m.begin()->second;
  EXPECT_TRUE(!op->is_bottom && op->statement_rank == 3 && op->has_tag && op->tag == 5);
  EXPECT_EQ(op->counters, std::vector<int>{0});
  EXPECT_EQ(text(*op->iteration), "[N][0]");
}

}  // namespace
