/* atax: y = A^T * (A * x), the product A * x kept in tmp row by row. */
int M = 7, N = 8;
double A[20][20], x[20], y[20], tmp[20];

int main(void)
{
  int i, j;
#pragma resource [2][4]
  for (i = 0; i < N; i++)
#pragma latency [1][1]
    y[i] = 0;
  for (i = 0; i < M; i++) {
#pragma latency [1][1]
    tmp[i] = 0.0;
    for (j = 0; j < N; j++)
#pragma latency [2][1]
      tmp[i] = tmp[i] + A[i][j] * x[j];
    for (j = 0; j < N; j++)
#pragma latency [4][2]
      y[j] = y[j] + A[i][j] * tmp[i];
  }
  return 0;
}
