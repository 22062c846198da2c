// Dense integer matrices (vectors of rows), integer vectors and vectors of
// affine expressions, with the products, sums and rank-map helpers that the
// Farkas machinery and the solver set-up use.
//
// Ownership: arguments are kept (never modified or consumed); every result is
// a new value, and expression results are new trees owned by the caller.
// Matrices are rectangular by convention; the column count is read on row 0.
#ifndef VORL_ALGEBRA_MATRIX_H
#define VORL_ALGEBRA_MATRIX_H

#include <list>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <vector>

#include "algebra/value.h"

class Expression;

using Matrix = std::vector<std::vector<Value>>;

Matrix null_matrix(int rows, int columns);
Matrix identity_matrix(int n);
Matrix column_matrix(const std::vector<Value>& v);
std::vector<Value> column_matrix_to_vector(const Matrix& m);
Matrix transpose(const Matrix& m);
std::set<int> vec_to_set(const std::vector<int>& v);

Matrix operator*(const Matrix& a, const Matrix& b);
std::vector<Value> operator*(const Matrix& a, const std::vector<Value>& v);
Matrix operator*(Value k, const Matrix& a);
std::vector<Value> operator*(Value k, const std::vector<Value>& v);
std::vector<std::unique_ptr<Expression>> operator*(const std::vector<Expression*>& e,
                                                   const Matrix& a);
std::vector<std::unique_ptr<Expression>> operator*(const Matrix& a,
                                                   const std::vector<Expression*>& e);
std::unique_ptr<Expression> operator*(const std::vector<Value>& v,
                                      const std::vector<Expression*>& e);
std::unique_ptr<Expression> operator*(const std::vector<Expression*>& e,
                                      const std::vector<Value>& v);

std::vector<Value> operator+(const std::vector<Value>& v, const std::vector<Value>& w);
std::vector<std::unique_ptr<Expression>> operator+(const std::vector<Expression*>& e,
                                                  const std::vector<Expression*>& f);
std::vector<std::unique_ptr<Expression>> operator+(const std::vector<Expression*>& e,
                                                  const std::vector<Value>& v);

bool sub_vec(const std::vector<Value>& v, const std::vector<Value>& w);

std::set<int> apply(const std::set<int>& s, const std::map<int, int>& m);
std::map<int, int> inv(const std::map<int, int>& m);

std::ostream& operator<<(std::ostream& os, const Matrix& m);
std::ostream& operator<<(std::ostream& os, const std::vector<Value>& v);
std::ostream& operator<<(std::ostream& os, const std::vector<int>& v);

// Printers to standard output.
class MatrixPrinter {
 public:
  static void print_vec(const std::vector<Value>& v);
  static void print_vec_vec(const Matrix& m);
  static void print_list_vec(const std::list<std::vector<Value>>& l);
  static void print_vec_vec_vec(const std::list<Matrix>& l);
};

#endif
