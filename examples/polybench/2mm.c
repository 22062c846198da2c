/* 2mm: D = alpha * A * B * C + beta * D, through a temporary product. */
int NI = 4, NJ = 5, NK = 6, NL = 7;
double alpha = 1.5, beta = 1.2;
double tmp[20][20], A[20][20], B[20][20], C[20][20], D[20][20];

int main(void)
{
  int i, j, k;
#pragma resource [2][4]
  for (i = 0; i < NI; i++)
    for (j = 0; j < NJ; j++) {
#pragma latency [1][1]
      tmp[i][j] = 0.0;
      for (k = 0; k < NK; ++k)
#pragma latency [4][2]
        tmp[i][j] += alpha * A[i][k] * B[k][j];
    }
  for (i = 0; i < NI; i++)
    for (j = 0; j < NL; j++) {
#pragma latency [2][1]
      D[i][j] *= beta;
      for (k = 0; k < NJ; ++k)
#pragma latency [3][2]
        D[i][j] += tmp[i][k] * C[k][j];
    }
  return 0;
}
