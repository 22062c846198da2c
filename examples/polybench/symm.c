/* symm: C = alpha * A * B + beta * C with A symmetric and only its lower
   triangle read; temp2 accumulates the row. */
int M = 6, N = 7;
double alpha = 1.5, beta = 1.2;
double temp2;
double A[20][20], B[20][20], C[20][20];

int main(void)
{
  int i, j, k;
#pragma resource [2][4]
  for (i = 0; i < M; i++)
    for (j = 0; j < N; j++) {
#pragma latency [1][1]
      temp2 = 0;
      for (k = 0; k < i; k++) {
#pragma latency [4][2]
        C[k][j] += alpha * B[i][j] * A[i][k];
#pragma latency [2][1]
        temp2 += B[k][j] * A[i][k];
      }
#pragma latency [3][2]
      C[i][j] = beta * C[i][j] + alpha * B[i][j] * A[i][i] + alpha * temp2;
    }
  return 0;
}
