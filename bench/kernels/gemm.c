/* gemm: the kernel of the speed figures in bench/README.md (whole process, against the first version). */
int NI = 4, NJ = 5, NK = 3;
double C[4][5], A[4][3], B[3][5], alpha, beta;
int main(void)
{
  int i, j, k;
#pragma resource [2][4]
  for (i = 0; i < NI; i++) {
    for (j = 0; j < NJ; j++) {
#pragma latency [1][1]
      C[i][j] = C[i][j] * beta;
    }
    for (k = 0; k < NK; k++)
      for (j = 0; j < NJ; j++) {
#pragma latency [2][2]
        C[i][j] = C[i][j] + alpha * A[i][k] * B[k][j];
      }
  }
  return 0;
}
