// Expression trees: construction, ownership, printing, simplification,
// coefficient vectors, rank maps and the three evaluators.
#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <sstream>

#include "algebra/analysis_context.h"
#include "algebra/expression.h"
#include "algebra/rank.h"
#include "tests/poly/poly_test_support.h"
#include "tests/expect_failure.h"

namespace {

using E = std::unique_ptr<Expression>;
E own(Expression* e) { return E(e); }
E op(operator_t o, const E& a, const E& b) { return own(new Expression(o, a.get(), b.get())); }
E op(operator_t o, Value a, Value b) { return op(o, own(v(a)), own(v(b))); }

std::string code(const Expression& e, bool as_double = false)
{
  std::ostringstream os;
  as_double ? e.print_code_double(os) : e.print_code(os);
  return os.str();
}

// The C string that f throws, or "" when it returns.
template <typename F>
std::string thrown(F f)
{
  try {
    f();
  } catch (const Failure& e) {
    return e.what();
  }
  return "";
}

template <typename F>
void on_stderr(F f) { std::cout.rdbuf(std::cerr.rdbuf()); f(); }

// Counters j (rank 0) and i (rank 1), parameter N (rank 0).
class ExpressionTest : public testing::Test {
 protected:
  // Empty registries, options and switches for each test.
  AnalysisScope scope_;
  void SetUp() override
  {
    create_counter_rank("j");
    create_counter_rank("i");
    create_parameter_rank("N");
    i = own(s("i"));
    j = own(s("j"));
    N = own(s("N"));
  }
  E i, j, N;
};
using ExpressionFailureTest = ExpressionTest;

TEST_F(ExpressionTest, LeavesAndStructuralEquality)
{
  EXPECT_TRUE(i->is__counter(1) && N->is__parameter(0));
  E m = own(s("M"));  // an unknown name becomes the next parameter
  EXPECT_TRUE(m->is__parameter(1));
  EXPECT_TRUE(*m == *own(s("M")));
  EXPECT_EQ(get_nb_parameters(), 2);
  EXPECT_TRUE(own(var("t"))->is__counter(2));
  EXPECT_TRUE(own(par("P"))->is__parameter(2));
  EXPECT_EQ(text(*own(new Expression(7, 2))), "7/2");

  EXPECT_TRUE(*own(*i + *N) == *own(*i + *N));
  EXPECT_FALSE(*own(*i + *N) == *own(*N + *i));
  EXPECT_FALSE(*own(*i + *N) == *own(*i - *N));
  // Leaves of different kinds with the same number differ.
  E c0 = own(var(0));
  EXPECT_TRUE(*own(v(0)) != *c0);
  EXPECT_TRUE(*c0 != *own(par("N")));
  EXPECT_TRUE(*own(v(0)) != *own(*own(v(0)) + 0));
}

TEST_F(ExpressionTest, TreesOwnTheirOperands)
{
  Expression* a = s("i");
  Expression* b = v(2);
  E sum = own(new Expression(OP_PLUS, a, b));
  E left = own(5 - *b);
  delete a;
  delete b;
  EXPECT_EQ(text(*sum) + " " + text(*left), "i+2 5-2");

  E copy = own(sum->clone());
  copy->fd->val = 9;
  EXPECT_EQ(text(*sum), "i+2");
  sum.reset();
  Expression assigned;
  assigned = *copy;
  copy->fg->counter_rank = 0;
  EXPECT_EQ(text(assigned), "i+9");
  EXPECT_EQ(text(*copy), "j+9");

  Expression* shell = *i - 1;
  Expression adopter;
  adopter.shallow_copy(shell);
  delete shell;
  EXPECT_EQ(text(adopter), "i-1");
  std::map<int, Expression*> m{{0, adopter.clone()}};
  del(m);
  EXPECT_TRUE(m.empty());
}

TEST_F(ExpressionTest, PrintsTextAndCode)
{
  E a = own(*own(*i + 1) * 2);
  E b = own(*N - *own(*i - 1));
  E fl = op(OP_FLOOR, own(*i + 1), own(v(2)));
  E md = own(*own(*i % 4) / *N);
  E neg = own(*i - -1);
  EXPECT_EQ(text(*a), "(i+1)*2");
  EXPECT_EQ(text(*b), "N-(i-1)");
  EXPECT_EQ(text(*fl), "floord(i+1,2)");
  EXPECT_EQ(text(*op(OP_CEIL, N, own(*i * 2))), "ceild(N,i*2)");
  EXPECT_EQ(text(*own(*op(OP_MAX, i, N) + *op(OP_POWER, N, j))), "(max(i,N))+(N^j)");
  EXPECT_EQ(text(*md), "(i%4)/N");
  EXPECT_EQ(text(*neg), "i--1");

  EXPECT_EQ(code(*fl), "floord(i+1,2)");
  EXPECT_EQ(code(*md), "div(i%4,N)");
  EXPECT_EQ(code(*neg), "i-(-1)");
  EXPECT_EQ(code(*neg, true), "i-(-1.0)");
  EXPECT_EQ(code(*own(3 / *N)), "div(3,N)");
  EXPECT_EQ(code(*own(3 / *N), true), "3.0/N");
  EXPECT_EQ(code(*own(*a * *op(OP_CEIL, N, own(v(2)))), true), "((i+1.0)*2.0)*(ceild(N,2.0))");

  analysis_context().parenthesise_counters = true;
  EXPECT_EQ(text(*b), "N-((i)-1)");
  analysis_context().parenthesise_counters = false;

  testing::internal::CaptureStderr();
  fl->print();
  own(*N * *a)->print();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "floor((i+1),2)N*((i+1)*2)");

  std::string iv = new_variable("x", TYPE_INT);
  std::string dv = new_variable("y", TYPE_DOUBLE);
  E q = own(*own(3 / *N) - *i);
  std::ostringstream c;
  q->compile(c, iv, "  ");
  q->compile(c, dv, "");
  EXPECT_EQ(c.str(), "  x_0 = (div(3,N))-i;\ny_0 = (3.0/N)-i;\n");
}

TEST_F(ExpressionTest, Predicates)
{
  E e = own(*own(-1 * *N) + *op(OP_FLOOR, i, own(v(8))));
  EXPECT_TRUE(e->fg->is_neg() && !own(*N * -1)->is_neg());
  EXPECT_TRUE(e->has_internal_ceil_or_floor() && !e->fd->has_internal_ceil_or_floor());
  EXPECT_TRUE(!e->has_div() && own(*e / 2)->has_div());
  EXPECT_EQ(e->depth(), 2);
  EXPECT_EQ(e->nb_power_2() + own(*own(v(512)) + *own(v(1024)))->nb_power_2(), 2);
  EXPECT_EQ(own(*i * *own(*j + *N))->get_counters(), (std::set<int>{0, 1}));
  EXPECT_TRUE(own(*i + 3)->is_positive() && !own(*i - *N)->is_positive());
}

TEST_F(ExpressionTest, SimplifyRemovesNeutralElementsOnly)
{
  EXPECT_TRUE(*own(own(*own(v(0)) + *own(*i * 1))->simplify()) == *i);
  E b = own(*own(*own(v(0)) * *j) + *i);
  EXPECT_EQ(text(*own(b->one_pass_simplify())), "0+i");
  EXPECT_TRUE(*own(b->simplify()) == *i);
  EXPECT_EQ(text(*own(own(*own(v(2)) + 3)->simplify())), "2+3");
  EXPECT_EQ(text(*own(own(*i - 0)->simplify())), "i-0");
  EXPECT_EQ(text(*own(own(0 / *N)->simplify())), "0");
  EXPECT_EQ(text(*own(own(*own(*N / 1) * *own(1 * *i))->simplify())), "N*i");
  // The simplified tree keeps the cached vector of its input.
  E c = own(*own(*i + *j) * 1);
  std::vector<Value> cv = c->to_vector();
  E sc = own(c->simplify());
  EXPECT_TRUE(sc->has_vector && sc->vec == cv);
}

TEST_F(ExpressionTest, CoefficientVectorFollowsTheRegistry)
{
  E e = own(*own(*own(2 * *i) - *N) + 3);
  EXPECT_EQ(e->to_vector(), (std::vector<Value>{0, 2, -1, 3}));
  EXPECT_EQ(e->to_vector({1}, {0}), (std::vector<Value>{2, -1, 3}));
  E kept = own(e->clone());
  create_counter_rank("k");
  EXPECT_EQ(e->to_vector(), (std::vector<Value>{0, 2, 0, -1, 3}));
  EXPECT_EQ(kept->to_vector(), (std::vector<Value>{0, 2, 0, -1, 3}));
  E m = own(s("M"));
  EXPECT_EQ(e->to_vector(), (std::vector<Value>{0, 2, 0, -1, 0, 3}));
  EXPECT_EQ(own(*own(*own(*i * -2) + *m) * 3)->to_vector(), (std::vector<Value>{0, -6, 0, 0, 3, 0}));

  E prod = own(*i * *j);
  testing::internal::CaptureStdout();
  EXPECT_EQ(thrown([&] { prod->to_vector(); }), "Expression::to_vector: Non affine expression");
  E fl = op(OP_FLOOR, i, own(v(2)));
  E dv = own(*i / 2);
  EXPECT_EQ(thrown([&] { fl->to_vector(); }), "Expression::to_vector: Non affine expression (newparm?)");
  EXPECT_EQ(thrown([&] { dv->to_vector(); }), "Expression::to_vector: Non affine expression (newparm?)");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(ExpressionTest, TreeFromACoefficientVector)
{
  Expression e(std::vector<Value>{0, 2, -1, 3});
  EXPECT_EQ(text(e), "(3+(2*i))+(-1*N)");
  EXPECT_TRUE(e.has_vector && e.vec == (std::vector<Value>{0, 2, -1, 3}));
  Expression row(std::vector<Value>{1, 0, 2, -1, 3});  // a constraint row: its flag is skipped
  EXPECT_TRUE(row == e && row.vec == e.vec);
  EXPECT_EQ(text(Expression(std::vector<Value>{1, 1, 0, 0})), "j+i");
  EXPECT_EQ(text(Expression(std::vector<Value>{0, 0, 0, 0})), "0");
  EXPECT_EQ(text(Expression({4, 0, 1}, std::vector<int>{1}, std::vector<int>{0})), "1+(4*i)");
  create_counter_rank("k");
  EXPECT_EQ(e.to_vector(), (std::vector<Value>{0, 2, 0, -1, 3}));
}

TEST_F(ExpressionTest, RankMapsAndSubstitutions)
{
  E e = own(*own(*i + *own(2 * *N)) - *j);
  EXPECT_EQ(text(*own(e->counters_to_counters({{1, 0}, {0, 1}}))), "(j+(2*N))-i");
  E cp = own(e->counters_to_parameters({{1, 0}}));
  EXPECT_EQ(text(*cp), "(N+(2*N))-j");
  EXPECT_TRUE(cp->fg->fg->is__parameter(0));
  EXPECT_TRUE(own(e->parameters_to_counters({{0, 0}}))->fg->fd->fd->is__counter(0));
  E m = own(s("M"));
  EXPECT_EQ(text(*own(e->parameters_to_parameters({{0, 1}}))), "(i+(2*M))-j");

  Expression* repl = *N + 1;
  E sub = own(e->substitute_counters({{1, repl}}));
  E subp = own(e->substitute_parameters({{0, repl}}));
  delete repl;
  EXPECT_EQ(text(*sub), "((N+1)+(2*N))-j");
  EXPECT_EQ(text(*subp), "(i+(2*(N+1)))-j");
  EXPECT_EQ(text(*e), "(i+(2*N))-j");
}

TEST_F(ExpressionTest, DivisionsDevelopScaleExpand)
{
  E e = own(*own(*own(*i / 2) + *own(*N / 3)) / 4);
  EXPECT_EQ(e->get_divs(), (std::vector<Expression*>{e->fg->fg, e->fg->fd, e.get()}));

  EXPECT_EQ(text(*own(own(2 * *own(*i + *N))->develop())), "(2*i)+(2*N)");
  EXPECT_EQ(text(*own(own(*own(*i + *N) * *own(*j + 1))->develop())),
            "((i*j)+(i*1))+((N*j)+(N*1))");
  EXPECT_EQ(text(*own(op(OP_TIMES, 2, 3)->develop())), "6");
  E sum = own(*i + *own(2 * *own(*j + 1)));  // products under a sum stay
  EXPECT_TRUE(*own(sum->develop()) == *sum);

  EXPECT_EQ(text(*own(sum->scale(-3))), "-3*(i+(2*(j+1)))");
  auto [m, t] = e->expand({{0, 1}});
  E tree(t);
  EXPECT_TRUE(m.empty() && *tree == *e && tree.get() != e.get());
}

TEST_F(ExpressionTest, IntegerAndFloatingPointEvaluation)
{
  EXPECT_EQ(own(*i + *N)->evaluate_int({{0, 5}}), 5);
  EXPECT_EQ(own(*own(*i * *j) - *N)->evaluate_int({{0, 3}, {1, 4}}, {{0, 2}}), 10);
  EXPECT_EQ(op(OP_FLOOR, -7, 2)->evaluate_int({}), -4);
  EXPECT_EQ(op(OP_FLOOR, 7, -2)->evaluate_int({}), -4);
  EXPECT_EQ(op(OP_CEIL, -7, 2)->evaluate_int({}), -3);
  EXPECT_EQ(op(OP_CEIL, 7, 2)->evaluate_int({}), 4);
  EXPECT_EQ(op(OP_DIV, -7, 2)->evaluate_int({}), -3);
  EXPECT_EQ(op(OP_MOD, -7, 2)->evaluate_int({}), -1);
  EXPECT_EQ(op(OP_POWER, 2, 10)->evaluate_int({}), 1024);
  EXPECT_EQ(op(OP_POWER, -2, 61)->evaluate_int({}), -(Value{1} << 61));
  EXPECT_EQ(op(OP_POWER, -1, 7)->evaluate_int({}), -1);
  EXPECT_EQ(op(OP_POWER, 2, -1)->evaluate_int({}), 0);
  EXPECT_EQ(op(OP_MAX, -3, -5)->evaluate_int({}), -3);

  EXPECT_DOUBLE_EQ(own(*i / 2)->evaluate_double({{1, 7.0}}, {}), 3.5);
  EXPECT_DOUBLE_EQ(op(OP_POWER, N, own(v(-1)))->evaluate_double({{0, 4.0}}), 0.25);
}

TEST_F(ExpressionTest, SymbolicEvaluationFoldsFractions)
{
  E third = own(new Expression(1, 3));
  EXPECT_EQ(text(*own(own(*own(new Expression(1, 2)) + *third)->evaluate())), "5/6");
  EXPECT_EQ(text(*own(own(new Expression(4, 2))->evaluate())), "2");
  EXPECT_EQ(text(*own(own(*own(v(6)) / -4)->evaluate())), "-3/2");
  EXPECT_EQ(text(*own(own(*own(new Expression(-1, -3)) - *third)->evaluate())), "0");
  EXPECT_EQ(text(*own(own(*own(v(2)) * *third)->evaluate())), "2/3");

  Expression* half = new Expression(1, 2);
  E e = own(*own(*own(*i + *half) * *N) + *j);
  E r = own(e->evaluate({{1, half}}, {{0, own(v(2)).get()}}));
  delete half;
  EXPECT_EQ(text(*r), "2+j");  // (1/2 + 1/2) * 2 folded
  EXPECT_EQ(text(*own(e->evaluate({{0, own(v(3)).get()}}))), "((i+(1/2))*3)+j");
  // Neutral elements disappear around non-constant operands.
  EXPECT_EQ(text(*own(own(*own(*own(v(0)) + *i) * *own(new Expression(3, 3)))->evaluate())), "i");
  EXPECT_EQ(text(*own(own(*N - 0)->evaluate())), "N-0");
}

TEST(IntegerHelpersTest, GcdLcmAndFractions)
{
  EXPECT_EQ(gcd(12, 18), 6);
  EXPECT_EQ(gcd(7, 1), 1);
  EXPECT_EQ(lcm(4, 6), 12);
  auto reduce = [](Value n, Value d) {
    simplify_fraction(n, d);
    return std::make_pair(n, d);
  };
  EXPECT_EQ(reduce(6, -4), std::make_pair(Value{3}, Value{-2}));
  EXPECT_EQ(reduce(-6, -4), std::make_pair(Value{3}, Value{2}));
  EXPECT_EQ(reduce(-6, 4), std::make_pair(Value{-3}, Value{2}));
  EXPECT_EQ(reduce(0, -5), std::make_pair(Value{0}, Value{-5}));
}

TEST_F(ExpressionTest, SharingCheck)
{
  Expression shared;
  shared.is_leaf = 0;
  shared.fg = shared.fd = i->clone();
  EXPECT_EQ(thrown([&] { shared.check(); }), "Expression::check: interference found");
  shared.fd = nullptr;
  EXPECT_EQ(thrown([&] { union_and_check({i.get()}, {N.get(), i.get()}); }),
            "union_and_check: interference found");
}

TEST_F(ExpressionFailureTest, ImpossibleOperationsStop)
{
  EXPECT_FAILURE(own(*i % *N)->evaluate_int({}), 1, "^Expression::evaluate_int: division by zero: i%N\n$");
  EXPECT_FAILURE(op(OP_FLOOR, 3, 0)->evaluate_int({}), 1, "division by zero: floord\\(3,0\\)");
  const Value two_to_32 = Value{1} << 32, two_to_62 = Value{1} << 62;
  const char* beyond = "integer overflow \\(a date or coefficient beyond 9223372036854775807: ";
  EXPECT_EQ(op(OP_TIMES, 65536, 65536)->evaluate_int({}), two_to_32);
  EXPECT_FAILURE(op(OP_TIMES, two_to_32, two_to_32)->evaluate_int({}), 1, beyond);
  EXPECT_FAILURE(op(OP_MAX, 1, 2)->evaluate_double({}), 1, "^Expression::evaluate_double: unknown/forbidden operator: max\\(1,2\\)\n$");
  EXPECT_FAILURE(op(OP_MOD, 7, 2)->evaluate(), 1, "^Expression::evaluate: unhandled operator: 7%2\n$");
  EXPECT_FAILURE(op(OP_DIV, 1, 0)->evaluate(), 1, "^Expression::evaluate: unhandled operator: 1/0\n$");
  EXPECT_FAILURE(op(OP_TIMES, two_to_32, two_to_32)->evaluate(), 1, beyond);
  EXPECT_EQ(op(OP_PLUS, 1 << 30, 1 << 30)->to_vector().back(), two_to_32 / 2);
  EXPECT_FAILURE(op(OP_PLUS, two_to_62, two_to_62)->to_vector(), 1, beyond);
  EXPECT_FAILURE(op(OP_POWER, 2, 63)->evaluate_int({}), 1, beyond);
  EXPECT_FAILURE(op(OP_DIV, INT64_MIN, -1)->evaluate_int({}), 1, beyond);
  EXPECT_FAILURE(on_stderr([] { Expression(std::vector<Value>{1, 2}); }), 1, "^Expression\\(polylib_vector\\): bad vector size4\n2\n$");
  EXPECT_FAILURE(i->scale(std::set<int>{0}), 1, "^Expression::scale: expect an EnumerationExpression\n$");
  std::ostringstream os;
  EXPECT_FAILURE(i->print_vhdl(os, os), 1, "^Expression::print_vhdl: not an EnumerationExpression\n$");
  EXPECT_FAILURE(i->compile(os, "z_0", ""), 1, "^Rank::get_variable_type: undefined variable\n$");
  EXPECT_FAILURE(gcd(0, 4), 1, "^Expression: gcd: negative operand\n$");
  EXPECT_FAILURE(gcd(4, -2), 1, "gcd: negative operand");
  EXPECT_FAILURE(lcm(-1, 3), 1, "^lcm: negative numbers\n$");
  Value n = 1;
  Value d = 0;
  EXPECT_FAILURE(simplify_fraction(n, d), 1, "^Expression::simplify_fraction: \\*/0\n$");
}

}  // namespace
