/* syrk: symmetric rank-k update of the lower triangle,
   C = alpha * A * A^T + beta * C. */
int M = 5, N = 7;
double alpha = 1.5, beta = 1.2;
double A[20][20], C[20][20];

int main(void)
{
  int i, j, k;
#pragma resource [2][4]
  for (i = 0; i < N; i++) {
    for (j = 0; j <= i; j++)
#pragma latency [1][1]
      C[i][j] *= beta;
    for (k = 0; k < M; k++)
      for (j = 0; j <= i; j++)
#pragma latency [4][2]
        C[i][j] += alpha * A[i][k] * A[j][k];
  }
  return 0;
}
