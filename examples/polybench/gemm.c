/* gemm: C = alpha * A * B + beta * C, the rows of C scaled first, then
   accumulated with k outside j. */
int NI = 6, NJ = 7, NK = 5;
double alpha = 1.5, beta = 1.2;
double A[20][20], B[20][20], C[20][20];

int main(void)
{
  int i, j, k;
#pragma resource [2][4]
  for (i = 0; i < NI; i++) {
    for (j = 0; j < NJ; j++)
#pragma latency [1][1]
      C[i][j] *= beta;
    for (k = 0; k < NK; k++)
      for (j = 0; j < NJ; j++)
#pragma latency [4][2]
        C[i][j] += alpha * A[i][k] * B[k][j];
  }
  return 0;
}
