/* trmm: B = alpha * A^T * B with A unit lower triangular, in place. */
int M = 6, N = 7;
double alpha = 1.5;
double A[20][20], B[20][20];

int main(void)
{
  int i, j, k;
#pragma resource [2][4]
  for (i = 0; i < M; i++)
    for (j = 0; j < N; j++) {
      for (k = i + 1; k < M; k++)
#pragma latency [4][2]
        B[i][j] += A[k][i] * B[k][j];
#pragma latency [1][1]
      B[i][j] = alpha * B[i][j];
    }
  return 0;
}
