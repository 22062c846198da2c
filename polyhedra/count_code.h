// Ehrhart counts as exact integer C code.
//
// A count (a constant, a fraction, or an EnumerationExpression: polynomials
// whose coefficients are periodic numbers, polynomials or fractions, nested)
// is written as a quotient N / D: N an integer C expression evaluated by
// Horner's rule in the wide integer type of the generated program, D the
// least common multiple of the denominators, known when the code is written.
// Every step of N checks for overflow at run time, and the quotient is
// truncated toward zero, as EnumerationExpression::evaluate_int does. The
// code names the parameters and counters by their registered names.
//
// Ownership: arguments are kept; results are values.
#ifndef VORL_POLYHEDRA_COUNT_CODE_H
#define VORL_POLYHEDRA_COUNT_CODE_H

#include <string>

class Expression;

/// The C expression, of type long long, of the count's value.
std::string exact_count_code(const Expression* count);

/// The C definitions that exact_count_code() calls: the type vorl_wide and
/// the functions vorl_add, vorl_sub, vorl_mul, vorl_count and vorl_residue.
/// They call exit() and dprintf(), which must be declared before them.
const char* count_arithmetic_definitions();

#endif
