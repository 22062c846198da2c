/* LU with a GPU latency of 100000: dates and Farkas coefficients beyond 32 bits. */
int N = 6;
double A[6][6];

int main(void)
{
  int i, j, k;
#pragma resource [2][2]
  for (k = 0; k < N; k++) {
    for (i = k + 1; i < N; i++) {
#pragma latency [4][2]
      A[i][k] = A[i][k] / A[k][k];
    }
    for (i = k + 1; i < N; i++)
      for (j = k + 1; j < N; j++) {
#pragma latency [2][100000]
        A[i][j] = A[i][j] - A[i][k] * A[k][j];
      }
  }
  return 0;
}
