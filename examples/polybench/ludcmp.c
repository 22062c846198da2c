/* ludcmp: LU decomposition through the scalar w, then forward and
   backward (down-counting) substitution to solve A x = b. */
int N = 7;
double w;
double A[20][20], b[20], x[20], y[20];

int main(void)
{
  int i, j, k;
#pragma resource [2][4]
  for (i = 0; i < N; i++) {
    for (j = 0; j < i; j++) {
#pragma latency [1][1]
      w = A[i][j];
      for (k = 0; k < j; k++)
#pragma latency [2][1]
        w -= A[i][k] * A[k][j];
#pragma latency [4][2]
      A[i][j] = w / A[j][j];
    }
    for (j = i; j < N; j++) {
#pragma latency [1][1]
      w = A[i][j];
      for (k = 0; k < i; k++)
#pragma latency [2][1]
        w -= A[i][k] * A[k][j];
#pragma latency [1][1]
      A[i][j] = w;
    }
  }
  for (i = 0; i < N; i++) {
#pragma latency [1][1]
    w = b[i];
    for (j = 0; j < i; j++)
#pragma latency [2][1]
      w -= A[i][j] * y[j];
#pragma latency [1][1]
    y[i] = w;
  }
  for (i = N - 1; i >= 0; i--) {
#pragma latency [1][1]
    w = y[i];
    for (j = i + 1; j < N; j++)
#pragma latency [2][1]
      w -= A[i][j] * x[j];
#pragma latency [4][2]
    x[i] = w / A[i][i];
  }
  return 0;
}
