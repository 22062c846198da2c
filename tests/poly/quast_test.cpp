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

std::string printed(const Quast& q)
{
  testing::internal::CaptureStdout();
  q.print();
  return testing::internal::GetCapturedStdout();
}

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
    n.reset(par("N"));
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
    q->condition = *n >= 1;
    q->then_branch = then_branch, q->else_branch = else_branch;
    return q;
  }
  std::unique_ptr<Expression> n;
  Q tree;
};

TEST_F(QuastTest, PrintsBothForms)
{
  Quast bottom;
  EXPECT_EQ(text(bottom), "_|_\n");
  EXPECT_EQ(printed(bottom), "_|_");
  bottom.set_bottom_value("none");
  EXPECT_EQ(text(bottom), "_|_ (none)\n");

  EXPECT_EQ(text(*tree), "if N >= 1\nthen\n  (N,0):0\nelse\n  _|_\nendif\n");
  EXPECT_EQ(printed(*tree), "if N >= 1\nthen\n[N][0]\nelse\n_|_\nendif\n");
  tree->tag(3);
  tree->then_branch->statement = 2;
  tree->shared_then = tree->shared_else = 1;
  EXPECT_EQ(text(*tree), "if N >= 1\nthen (dag)\n  S2(N,0):3\nelse (dag)\n  _|_\nendif\n");
  EXPECT_EQ(printed(*tree), "if N >= 1\nthen\n<S2,[N][0]>\nelse\n_|_\nendif\n");
  tree->then_branch->tag_vector = {1, 0};  // printed positions

  // Nested trees indent by two blanks per level; an extended test prints
  // its union as a C condition.
  Q nested(inner(new Quast(), tree.release()));
  std::unique_ptr<Inequation> c(*n <= 4);
  nested->extended_condition = {new Polyhedron(c.get())};
  nested->extended = 1, nested->is_if = 0;
  EXPECT_EQ(text(*nested), "if ((N <= 4))\nthen\n  _|_\nelse\n  if N >= 1\n  then (dag)\n"
                           "    S2(0,N):3\n  else (dag)\n    _|_\n  endif\nendif\n");
}

TEST_F(QuastTest, EmptinessAndLabels)
{
  EXPECT_TRUE(Quast().empty());
  EXPECT_FALSE(Q(leaf())->empty() || tree->empty() || Q(inner(new Quast(), leaf()))->empty());
  Q none(inner(new Quast(), new Quast()));
  EXPECT_TRUE(none->empty() && !none->is_extended());
  none->is_if = 0, none->extended = 1;
  EXPECT_TRUE(none->empty() && none->is_extended());

  // Two solution leaves with read ranks 1 and 2.
  Q two(inner(leaf(), inner(new Quast(), leaf())));
  two->tag(1);
  EXPECT_TRUE(two->then_branch->is_tagged && two->else_branch->else_branch->is_tagged);
  two->else_branch->else_branch->read_rank = 2;
  two->remove_read_rank(1);
  EXPECT_TRUE(two->then_branch->is_bottom && !two->then_branch->is_leaf && !two->empty());
  two->set_read_rank(7);
  two->set_bottom_value("dead");
  EXPECT_EQ(text(*two), "if N >= 1\nthen\n  _|_ (dead)\nelse\n  if N >= 1\n  then\n    _|_ (dead)\n"
                        "  else\n    S0(N,0):7\n  endif\nendif\n");
  two->remove_read_rank(7);
  EXPECT_TRUE(two->empty());
}

TEST_F(QuastTest, NullAnswersAreBottoms)
{
  const PipQuast* null = nullptr;
  testing::internal::CaptureStdout();
  Quast a(null), b(std::vector<int>{0}, 1, null), c(null, 2);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Quast::Quast(pipquast)-1: null pipquast (empty context)\n"
            "Quast::Quast(pipquast)-2: null pipquast (empty context)\n"
            "Quast::Quast(pipquast)-3: null pipquast (empty context)\n");
  EXPECT_TRUE(a.is_bottom && b.is_bottom && c.is_bottom && a.empty() && b.empty() && c.empty());

  // A polyhedron whose parameter constraints admit no value.
  std::unique_ptr<Expression> i(var(0));
  Polyhedron p;
  for (Inequation* k : {*n >= 1, *n <= 0, *i >= 0}) {
    p.add_constraint(k);
    delete k;
  }
  testing::internal::CaptureStdout();
  Q q(p.min_lex(std::vector<int>{0}, 4));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Quast::Quast(pipquast)-2: null pipquast (empty context)\n");
  EXPECT_TRUE(q->empty());
}

TEST_F(QuastTest, FlattenInnerNode)
{
  EXPECT_FAILURE((std::cout.rdbuf(std::cerr.rdbuf()), tree->flatten()), 1, "^Quast::_flatten: untagged Quast\n$");
  tree->tag(5);
  tree->then_branch->statement = 3;
  tree->then_branch->tag_vector = {0};
  PolyhedronMap<Operation*> m = tree->flatten();
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(text(*m.begin()->first), "/\n| N >= 1\n\\\n");
  const Operation* op = m.begin()->second;
  EXPECT_TRUE(!op->is_bottom && op->statement_rank == 3 && op->has_tag && op->tag == 5);
  EXPECT_EQ(op->counters, std::vector<int>{0});
  EXPECT_EQ(text(*op->iteration), "[N][0]");
  del(m);
}

}  // namespace
