#include "polyhedra/count_code.h"

#include <algorithm>
#include <numeric>

#include "polyhedra/enumeration_expression.h"
#include "algebra/expression.h"
#include "support/failure.h"
#include "algebra/rank.h"

namespace {

[[noreturn]] void refuse(const std::string& why, const Expression* e)
{
  fail(Stream::Err, cat("EnumerationExpression::compile(): ", why, ": ", *e));
}

long long narrow(__int128 v, const Expression* e)
{
  const __int128 limit = static_cast<__int128>(1) << 62;
  if (v > limit || v < -limit)
    refuse("a constant of the count is out of range", e);
  return static_cast<long long>(v);
}

long long lcm_of(long long a, long long b, const Expression* e)
{
  return narrow(static_cast<__int128>(a / std::gcd(a, b)) * b, e);
}

// An integer C expression, folded while it is a literal.
struct Code {
  bool literal = true;
  long long value = 0;
  std::string text;

  static Code of(long long v) { return {true, v, ""}; }
  static Code of(const std::string& t) { return {false, 0, t}; }
  std::string str() const
  {
    if (!literal)
      return text;
    bool small = value >= -2147483647LL && value <= 2147483647LL;
    return std::to_string(value) + (small ? "" : "LL");
  }
  bool is(long long v) const { return literal && value == v; }
};

Code add(const Code& a, const Code& b, bool subtract, const Expression* e)
{
  if (a.literal && b.literal)
    return Code::of(narrow(static_cast<__int128>(a.value) + (subtract ? -b.value : b.value), e));
  if (b.is(0))
    return a;
  if (a.is(0) && !subtract)
    return b;
  std::string name = subtract ? "vorl_sub(" : "vorl_add(";
  return Code::of(name + a.str() + ", " + b.str() + ")");
}

Code multiply(const Code& a, const Code& b, const Expression* e)
{
  if (a.literal && b.literal)
    return Code::of(narrow(static_cast<__int128>(a.value) * b.value, e));
  if (a.is(0) || b.is(0))
    return Code::of(0);
  if (a.is(1))
    return b;
  if (b.is(1))
    return a;
  return Code::of("vorl_mul(" + a.str() + ", " + b.str() + ")");
}

const EnumerationExpression* as_enumeration(const Expression* e)
{
  return e->is_an_enumeration() ? static_cast<const EnumerationExpression*>(e) : nullptr;
}

// A constant or a quotient of constants, as n / d with d > 0.
bool as_fraction(const Expression* e, long long& n, long long& d)
{
  if (e->is_constant()) {
    n = e->val;
    d = 1;
    return true;
  }
  if (e->is_constant_fraction() && e->fd->val != 0) {
    n = e->fg->val;
    d = e->fd->val;
    if (d < 0) {
      n = -n;
      d = -d;
    }
    long long g = std::gcd(n, d);
    n /= g;
    d /= g;
    return true;
  }
  return false;
}

bool is_rational_operator(const Expression* e)
{
  return !e->is_leaf &&
         (e->op == OP_PLUS || e->op == OP_MINUS || e->op == OP_TIMES || e->op == OP_DIV);
}

// The smallest d > 0 such that d times the value of e is an integer for all
// integer values of the parameters and counters.
long long denominator(const Expression* e)
{
  long long n = 0, d = 1;
  if (as_fraction(e, n, d))
    return d;
  if (const EnumerationExpression* x = as_enumeration(e)) {
    long long r = 1;
    if (x->is_periodic) {
      for (const Expression* v : x->periodic_values)
        r = lcm_of(r, denominator(v), e);
      return r;
    }
    if (!x->is_polynomial)
      fail(Stream::Err, "EnumerationExpression::compile(): not an enumeration!");
    for (const Expression* c : x->coefficients)
      r = lcm_of(r, denominator(c), e);
    long long dx = denominator(x->variable);
    for (size_t i = 1; i < x->coefficients.size(); i++)
      r = narrow(static_cast<__int128>(r) * dx, e);
    return r;
  }
  if (!is_rational_operator(e))
    return 1;
  long long da = denominator(e->fg);
  if (e->op == OP_DIV) {
    if (!as_fraction(e->fd, n, d) || n == 0)
      refuse("a division by a value that is not a non-zero constant", e);
    return narrow(static_cast<__int128>(da) * (n < 0 ? -n : n), e);
  }
  long long db = denominator(e->fd);
  if (e->op == OP_TIMES)
    return narrow(static_cast<__int128>(da) * db, e);
  return lcm_of(da, db, e);
}

Code integer_code(const Expression* e);

// k times the value of e, k a multiple of denominator(e).
Code scaled(const Expression* e, long long k)
{
  long long n = 0, d = 1;
  if (as_fraction(e, n, d))
    return Code::of(narrow(static_cast<__int128>(k / d) * n, e));
  if (k == 0)
    return Code::of(0);
  if (const EnumerationExpression* x = as_enumeration(e)) {
    if (x->is_periodic) {
      size_t p = x->periodic_values.size();
      if (p == 0)
        refuse("a periodic number without values", e);
      std::vector<Code> values;
      bool all_same = true;
      for (const Expression* v : x->periodic_values) {
        values.push_back(scaled(v, k));
        all_same = all_same && values.back().str() == values.front().str();
      }
      if (all_same)
        return values.front();
      bool literals =
          std::all_of(values.begin(), values.end(), [](const Code& c) { return c.literal; });
      std::string index = x->periodic_index ? integer_code(x->periodic_index.get()).str()
                                            : get_parameter_string(x->periodic_parameter);
      std::string residue = "vorl_residue(" + index + ", " + std::to_string(p) + ")";
      if (literals) {
        // A table of the values, read once at the residue.
        std::string table = "((const long long[]){";
        for (size_t i = 0; i < p; i++)
          table += (i ? ", " : "") + values[i].str();
        return Code::of(table + "})[" + residue + "]");
      }
      std::string text = "(";
      for (size_t i = 0; i + 1 < p; i++)
        text += residue + " == " + std::to_string(i) + " ? " + values[i].str() + " : ";
      return Code::of(text + values.back().str() + ")");
    }
    if (x->coefficients.empty())
      return Code::of(0);
    // Horner's rule over X = Xn / dx: k times the sum of c_i X^i is the sum
    // of (k / dx^i) c_i Xn^i.
    long long dx = denominator(x->variable);
    Code xn = scaled(x->variable, dx);
    size_t degree = x->coefficients.size() - 1;
    std::vector<long long> factor(degree + 1, k);
    for (size_t i = 1; i <= degree; i++)
      factor[i] = factor[i - 1] / dx;
    Code r = scaled(x->coefficients[degree], factor[degree]);
    for (size_t i = degree; i-- > 0;)
      r = add(multiply(r, xn, e), scaled(x->coefficients[i], factor[i]), false, e);
    return r;
  }
  if (e->is_leaf) {
    std::string name;
    if (e->is_parameter)
      name = get_parameter_string(e->parameter_rank);
    else if (e->is_counter)
      name = get_counter_string(e->counter_rank);
    else
      refuse("an unknown leaf", e);
    return multiply(Code::of(name), Code::of(k), e);
  }
  if (!is_rational_operator(e))
    return multiply(integer_code(e), Code::of(k), e);
  if (e->op == OP_DIV) {
    // e = a * d / n: k e = (k / n) d a.
    as_fraction(e->fd, n, d);
    long long m = narrow(static_cast<__int128>(k / n) * d, e);
    return scaled(e->fg, m);
  }
  if (e->op == OP_TIMES) {
    long long da = denominator(e->fg), db = denominator(e->fd);
    if (as_fraction(e->fg, n, d))
      return scaled(e->fd, narrow(static_cast<__int128>(k / d) * n, e));
    if (as_fraction(e->fd, n, d))
      return scaled(e->fg, narrow(static_cast<__int128>(k / d) * n, e));
    Code product = multiply(scaled(e->fg, da), scaled(e->fd, db), e);
    return multiply(product, Code::of(k / da / db), e);
  }
  return add(scaled(e->fg, k), scaled(e->fd, k), e->op == OP_MINUS, e);
}

// The value of a subtree with the integer operators of
// Expression::evaluate_int: truncated quotient and remainder, floor and
// ceiling quotients (the generated program's macros), maximum.
Code integer_code(const Expression* e)
{
  if (e->is_leaf || as_enumeration(e))
    return Code::of("(" + exact_count_code(e) + ")");
  std::string a = integer_code(e->fg).str(), b = integer_code(e->fd).str();
  switch (e->op) {
    case OP_PLUS: return Code::of("vorl_add(" + a + ", " + b + ")");
    case OP_MINUS: return Code::of("vorl_sub(" + a + ", " + b + ")");
    case OP_TIMES: return Code::of("vorl_mul(" + a + ", " + b + ")");
    case OP_DIV: return Code::of("(" + a + ") / (" + b + ")");
    case OP_MOD: return Code::of("(" + a + ") % (" + b + ")");
    case OP_FLOOR: return Code::of("floord(" + a + ", " + b + ")");
    case OP_CEIL: return Code::of("ceild(" + a + ", " + b + ")");
    case OP_MAX: return Code::of("max(" + a + ", " + b + ")");
    default: refuse("an operator without exact integer code", e);
  }
}

}  // namespace

std::string exact_count_code(const Expression* count)
{
  long long n = 0, d = 1;
  if (as_fraction(count, n, d))
    return Code::of(n / d).str();
  if (count->is_leaf && !as_enumeration(count))
    return scaled(count, 1).str();
  long long D = denominator(count);
  std::string code = scaled(count, D).str();
  // Without a wide operation nor a denominator, the code is a plain integer
  // expression already.
  bool wide = code.find("vorl_add(") != std::string::npos ||
              code.find("vorl_sub(") != std::string::npos ||
              code.find("vorl_mul(") != std::string::npos;
  if (D == 1 && !wide)
    return code;
  return "vorl_count(" + code + ", " + Code::of(D).str() + ")";
}

const char* count_arithmetic_definitions()
{
  return "/* Exact integer arithmetic of the counts: a count is a numerator over a\n"
         "   constant denominator, and every step is checked for overflow. */\n"
         "#ifdef __SIZEOF_INT128__\n"
         "__extension__ typedef __int128 vorl_wide;\n"
         "#else\n"
         "typedef long long vorl_wide;\n"
         "#endif\n"
         "\n"
         "__attribute__((unused)) static void vorl_overflow(void)\n"
         "{\n"
         "  dprintf(2, \"integer overflow while counting the instances of a date"
         " (parameter values too large?)\\n\");\n"
         "  exit(1);\n"
         "}\n"
         "\n"
         "__attribute__((unused)) static inline vorl_wide vorl_add(vorl_wide a, vorl_wide b)\n"
         "{\n"
         "  vorl_wide r;\n"
         "  if(__builtin_add_overflow(a, b, &r))\n"
         "    vorl_overflow();\n"
         "  return r;\n"
         "}\n"
         "\n"
         "__attribute__((unused)) static inline vorl_wide vorl_sub(vorl_wide a, vorl_wide b)\n"
         "{\n"
         "  vorl_wide r;\n"
         "  if(__builtin_sub_overflow(a, b, &r))\n"
         "    vorl_overflow();\n"
         "  return r;\n"
         "}\n"
         "\n"
         "__attribute__((unused)) static inline vorl_wide vorl_mul(vorl_wide a, vorl_wide b)\n"
         "{\n"
         "  vorl_wide r;\n"
         "  if(__builtin_mul_overflow(a, b, &r))\n"
         "    vorl_overflow();\n"
         "  return r;\n"
         "}\n"
         "\n"
         "/* numerator / denominator, truncated toward zero, as a 64-bit count */\n"
         "__attribute__((unused)) static inline long long vorl_count(vorl_wide numerator, long long denominator)\n"
         "{\n"
         "  vorl_wide q = numerator / denominator;\n"
         "  if(q > (vorl_wide)9223372036854775807LL || q < -(vorl_wide)9223372036854775807LL - 1)\n"
         "    vorl_overflow();\n"
         "  return (long long)q;\n"
         "}\n"
         "\n"
         "/* value modulo period, in 0 .. period-1 */\n"
         "__attribute__((unused)) static inline long long vorl_residue(long long value, long long period)\n"
         "{\n"
         "  long long r = value % period;\n"
         "  return r < 0 ? r + period : r;\n"
         "}\n";
}
