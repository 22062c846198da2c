#include "algebra/matrix.h"

#include <iostream>
#include <sstream>

#include "algebra/expression.h"
#include "support/failure.h"

namespace {

int columns(const Matrix& m) { return m.empty() ? 0 : static_cast<int>(m[0].size()); }

Value mul_add(Value acc, Value a, Value b) { return checked_mul_add(acc, a, b, "Matrix::*"); }

std::string shown(const Matrix& m)
{
  std::ostringstream os;
  os << m;
  return os.str();
}

std::string shown(const std::vector<Expression*>& e)
{
  std::ostringstream os;
  os << e;
  return os.str();
}

// A new node over copies of both operands.
std::unique_ptr<Expression> adopt(operator_t op, const std::unique_ptr<Expression>& a, const std::unique_ptr<Expression>& b)
{
  return std::make_unique<Expression>(op, a.get(), b.get());
}

}  // namespace

Matrix null_matrix(int rows, int cols)
{
  if (rows < 1 || cols < 1)
    fail(Stream::Out, "Matrix::null_matrix: dimensions must be > 0");
  return Matrix(rows, std::vector<Value>(cols, 0));
}

Matrix identity_matrix(int n)
{
  if (n < 0)
    fail(Stream::Out, "Matrix::identity_matrix: dimension must be >= 0");
  Matrix m(n, std::vector<Value>(n, 0));
  for (int i = 0; i < n; i++)
    m[i][i] = 1;
  return m;
}

Matrix column_matrix(const std::vector<Value>& v)
{
  Matrix m;
  for (Value x : v)
    m.push_back({x});
  return m;
}

std::vector<Value> column_matrix_to_vector(const Matrix& m)
{
  std::vector<Value> v;
  for (const auto& row : m) {
    if (row.size() != 1)
      fail(Stream::Err, "Matrix::column_matrix_to_vector: not a single col matrix");
    v.push_back(row[0]);
  }
  return v;
}

Matrix transpose(const Matrix& m)
{
  int r = static_cast<int>(m.size());
  int c = columns(m);
  Matrix t(c, std::vector<Value>(r, 0));
  for (int i = 0; i < r; i++)
    for (int j = 0; j < c; j++)
      t[j][i] = m[i].at(j);
  return t;
}

std::set<int> vec_to_set(const std::vector<int>& v) { return std::set<int>(v.begin(), v.end()); }

Matrix operator*(const Matrix& a, const Matrix& b)
{
  if (a.empty() || b.empty())
    fail(Stream::Out, cat("Matrix::*: empty matrices col(A) = ", a.size(), " col(B) = ", b.size()));
  if (columns(a) != static_cast<int>(b.size()))
    fail(Stream::Out, cat("Matrix::*: mismatch matrices\n", shown(a), shown(b)));
  int n = static_cast<int>(a.size()), k = columns(a), m = columns(b);
  Matrix r(n, std::vector<Value>(m, 0));
  for (int i = 0; i < n; i++)
    for (int j = 0; j < m; j++) {
      Value acc = 0;
      for (int l = 0; l < k; l++)
        acc = mul_add(acc, a[i].at(l), b[l].at(j));
      r[i][j] = acc;
    }
  return r;
}

std::vector<Value> operator*(const Matrix& a, const std::vector<Value>& v)
{
  return column_matrix_to_vector(a * column_matrix(v));
}

Matrix operator*(Value k, const Matrix& a)
{
  Matrix r = a;
  for (auto& row : r)
    for (Value& x : row)
      x = mul_add(0, k, x);
  return r;
}

std::vector<Value> operator*(Value k, const std::vector<Value>& v)
{
  std::vector<Value> r = v;
  for (Value& x : r)
    x = mul_add(0, k, x);
  return r;
}

std::vector<std::unique_ptr<Expression>> operator*(const std::vector<Expression*>& e, const Matrix& a)
{
  if (e.size() != a.size())
    fail(Stream::Out, cat("Matrix::(tx * A):mismatch dimensions\n", shown(e), shown(a)));
  std::vector<std::unique_ptr<Expression>> r;
  for (int j = 0; j < columns(a); j++) {
    std::unique_ptr<Expression> sum = v(0);
    for (size_t i = 0; i < e.size(); i++)
      sum = adopt(OP_PLUS, sum, adopt(OP_TIMES, e[i]->clone(), v(a[i].at(j))));
    r.push_back(std::move(sum));
  }
  return r;
}

std::vector<std::unique_ptr<Expression>> operator*(const Matrix& a, const std::vector<Expression*>& e)
{
  if (!a.empty() && columns(a) != static_cast<int>(e.size()))
    fail(Stream::Err, "Matrix::*(int_matrix, expression_vector): size mismatch");
  std::vector<std::unique_ptr<Expression>> r;
  for (const auto& row : a) {
    std::unique_ptr<Expression> sum = v(0);
    for (size_t j = 0; j < e.size(); j++)
      sum = adopt(OP_PLUS, sum, adopt(OP_TIMES, v(row.at(j)), e[j]->clone()));
    r.push_back(std::move(sum));
  }
  return r;
}

std::unique_ptr<Expression> operator*(const std::vector<Expression*>& e, const std::vector<Value>& w)
{
  std::vector<std::unique_ptr<Expression>> r = e * column_matrix(w);
  if (r.empty())
    return v(0);
  return std::move(r[0]);
}

std::unique_ptr<Expression> operator*(const std::vector<Value>& w, const std::vector<Expression*>& e) { return e * w; }

std::vector<Value> operator+(const std::vector<Value>& v, const std::vector<Value>& w)
{
  if (v.size() != w.size())
    fail(Stream::Out, "Matrix::+(vec<int>,vec<int>): mismatch vector size");
  std::vector<Value> r(v.size());
  for (size_t i = 0; i < v.size(); i++)
    r[i] = mul_add(v[i], w[i], 1);
  return r;
}

std::vector<std::unique_ptr<Expression>> operator+(const std::vector<Expression*>& e,
                                                  const std::vector<Expression*>& f)
{
  if (e.size() != f.size())
    fail(Stream::Out, "Matrix::+(vec<Expr,Expr>: mismatch vector size");
  std::vector<std::unique_ptr<Expression>> r;
  for (size_t i = 0; i < e.size(); i++)
    r.push_back(std::make_unique<Expression>(OP_PLUS, e[i], f[i]));
  return r;
}

std::vector<std::unique_ptr<Expression>> operator+(const std::vector<Expression*>& e,
                                                  const std::vector<Value>& w)
{
  if (e.size() != w.size())
    fail(Stream::Out,
         cat("Matrix::+(vec<Expr>,vec<int>): mismatch vector size: ", e.size(), " vs ", w.size()));
  std::vector<std::unique_ptr<Expression>> r;
  for (size_t i = 0; i < e.size(); i++)
    r.push_back(adopt(OP_PLUS, e[i]->clone(), v(w[i])));
  return r;
}

bool sub_vec(const std::vector<Value>& v, const std::vector<Value>& w)
{
  if (v.size() != w.size())
    fail(Stream::Err, "Matrix::sub_vec: vector size mismatch");
  for (size_t i = 0; i < v.size(); i++)
    if (v[i] != 0 && v[i] != w[i])
      return false;
  return true;
}

std::set<int> apply(const std::set<int>& s, const std::map<int, int>& m)
{
  std::set<int> r;
  for (int x : s) {
    auto it = m.find(x);
    if (it != m.end())
      r.insert(it->second);
  }
  return r;
}

std::map<int, int> inv(const std::map<int, int>& m)
{
  std::map<int, int> r;
  for (const auto& [k, v] : m)
    if (!r.emplace(v, k).second)
      fail(Stream::Err, "Matrix::inv(map<int,int>): expect an injective map");
  return r;
}

std::ostream& operator<<(std::ostream& os, const Matrix& m)
{
  os << m.size() << " " << columns(m) << "\n";
  for (const auto& row : m) {
    for (Value x : row)
      os << x << "  ";
    os << "\n";
  }
  return os;
}

template <typename Entry>
static void print_entries(std::ostream& os, const std::vector<Entry>& v)
{
  os << v.size() << "\n";
  for (Entry x : v)
    os << x << "\n";
}

std::ostream& operator<<(std::ostream& os, const std::vector<Value>& v)
{
  print_entries(os, v);
  return os;
}

std::ostream& operator<<(std::ostream& os, const std::vector<int>& v)
{
  print_entries(os, v);
  return os;
}

void MatrixPrinter::print_vec(const std::vector<Value>& v)
{
  for (Value x : v)
    std::cout << x << "  ";
  std::cout << "\n";
}

void MatrixPrinter::print_vec_vec(const Matrix& m)
{
  for (const auto& row : m)
    print_vec(row);
}

void MatrixPrinter::print_list_vec(const std::list<std::vector<Value>>& l)
{
  for (const auto& v : l)
    print_vec(v);
}

void MatrixPrinter::print_vec_vec_vec(const std::list<Matrix>& l)
{
  std::cout << "--\n";
  for (const auto& m : l) {
    print_vec_vec(m);
    std::cout << "\n";
  }
  std::cout << "--\n";
}
